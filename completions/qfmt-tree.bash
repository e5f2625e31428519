# bash completion for qfmt-tree; the options are read from its --help.
_qfmt_tree() {
  local cur prev words cword split
  _init_completion -s || return
  case $prev in
    --style)
      COMPREPLY=($(compgen -W 'modern classic exact' -- "$cur"))
      return ;;
    --brace-style)
      COMPREPLY=($(compgen -W 'attach break' -- "$cur"))
      return ;;
    -m | --max-line-length)
      COMPREPLY=($(compgen -W 'off 80 100 120' -- "$cur"))
      return ;;
    -j | --jobs | --indent | --exclude)
      return ;;
    --stdin-filename | --assume-filename | --print-settings)
      _filedir
      return ;;
  esac
  $split && return
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
    [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
    return
  fi
  _filedir
}
complete -F _qfmt_tree qfmt-tree
