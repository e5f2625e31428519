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
    --format)
      COMPREPLY=($(compgen -W 'text github' -- "$cur"))
      return ;;
    --color)
      COMPREPLY=($(compgen -W 'auto always never' -- "$cur"))
      return ;;
    --changed)
      # Only --changed=REV takes a commit; after "--changed " comes a path.
      if $split; then
        COMPREPLY=($(compgen -W "HEAD $(git for-each-ref --format='%(refname:short)' 2>/dev/null)" -- "$cur"))
        return
      fi ;;
    -j | --jobs | --indent | --exclude | --lines)
      return ;;
    --stdin-filename | --assume-filename | --files-from)
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
