" qfmt-tree.vim: format C and C++ buffers with qfmt-tree.
"
" :QfmtTree formats the buffer, with the settings that .editorconfig gives
" its file. On an error the buffer is left as it was and the message shown.
" To format on every save, in your vimrc:
"   autocmd BufWritePre *.c,*.h,*.cc,*.cpp,*.hh,*.hpp QfmtTree
if exists('g:loaded_qfmt_tree')
  finish
endif
let g:loaded_qfmt_tree = 1

function! s:Format() abort
  let l:errors = tempname()
  let l:command = 'qfmt-tree'
  if !empty(expand('%'))
    let l:command .= ' --stdin-filename ' . shellescape(expand('%'))
  endif
  " Standard error goes to a file of its own, never into the buffer.
  let l:lines = systemlist(l:command . ' 2>' . shellescape(l:errors), getline(1, '$'))
  if v:shell_error == 0
    if l:lines !=# getline(1, '$')
      let l:view = winsaveview()
      call setline(1, l:lines)
      if line('$') > len(l:lines)
        silent execute (len(l:lines) + 1) . ',$delete _'
      endif
      call winrestview(l:view)
    endif
  else
    echohl ErrorMsg
    for l:line in readfile(l:errors)
      echomsg l:line
    endfor
    echohl None
  endif
  call delete(l:errors)
endfunction

command! -bar QfmtTree call s:Format()
