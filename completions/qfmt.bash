# bash completion for qfmt, whose options hold their values: -iFILE, -oFILE.
_qfmt() {
  local cur prev words cword
  _init_completion -n = || return
  case $cur in
    -i* | -o*)
      local IFS=$'\n'
      COMPREPLY=($(compgen -f -P "${cur:0:2}" -- "${cur:2}"))
      compopt -o filenames 2>/dev/null
      return ;;
    -*)
      COMPREPLY=($(compgen -W '-i -o -l -sk -t' -- "$cur"))
      compopt -o nospace
      return ;;
  esac
}
complete -F _qfmt qfmt
