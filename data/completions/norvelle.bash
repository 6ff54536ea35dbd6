# bash completion for norvelle
_norvelle() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    -e|--encoding) COMPREPLY=($(compgen -W "cp932 utf-8 auto" -- "$cur")); return ;;
    -o|--output|--rules) COMPREPLY=($(compgen -f -- "$cur")); return ;;
  esac
  case $cur in
    --encoding=*) COMPREPLY=($(compgen -W "cp932 utf-8 auto" -- "${cur#--encoding=}")); return ;;
    --diagnostics=*) COMPREPLY=($(compgen -W "plain gnu" -- "${cur#--diagnostics=}")); return ;;
    --deps=*|--output=*|--rules=*) COMPREPLY=($(compgen -f -- "${cur#*=}")); return ;;
    -*)
      COMPREPLY=($(compgen -W "-e --encoding= -o --output= --rules= -q --quiet -v --verbose --diagnostics=
                                --batch --window --deps --deps= --strict --html5 --watch --watch=poll --preview --write
                                -h --help -V --version --" -- "$cur"))
      return ;;
  esac
  COMPREPLY=($(compgen -f -X '!*.@(txt|TXT)' -- "$cur") $(compgen -d -- "$cur"))
}
complete -o filenames -o nospace -F _norvelle norvelle
