" Vim syntax file
" Language: Norvelle markup: a line may begin with commands between two
" bars, |b,center|Welcome. Install into ~/.vim/syntax/ and use
" :set syntax=norvelle (or a modeline) in a page.
if exists("b:current_syntax")
  finish
endif

syn match norvelleCommands /^|[^|]*|/ contains=norvelleBar,norvelleSep,norvelleValue,norvelleBlock
" After the commands: a comment line starts alike and wins.
syn match norvelleComment /^|\/\/|.*$/
syn match norvelleBar /|/ contained
syn match norvelleSep /,/ contained
syn match norvelleValue /=[^,|]*/ contained
syn keyword norvelleBlock cppsrc endcppsrc endtable ini title setjoin contained

hi def link norvelleComment Comment
hi def link norvelleCommands Statement
hi def link norvelleBar Delimiter
hi def link norvelleSep Delimiter
hi def link norvelleValue String
hi def link norvelleBlock PreProc

let b:current_syntax = "norvelle"
