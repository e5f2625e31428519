;;; qfmt-tree.el --- Format C and C++ buffers with qfmt-tree  -*- lexical-binding: t -*-

;;; Commentary:

;; M-x qfmt-tree-buffer formats the buffer, with the settings that
;; .editorconfig gives its file.  On an error the buffer is left as it was
;; and the message shown.  To format on every save:
;;   (add-hook 'c-mode-common-hook #'qfmt-tree-format-on-save)

;;; Code:

(require 'subr-x)

(defun qfmt-tree-buffer ()
  "Format the buffer with qfmt-tree; on an error, leave it as it was."
  (interactive)
  (let ((output (generate-new-buffer " *qfmt-tree*"))
        (errors (make-temp-file "qfmt-tree"))
        (arguments (and buffer-file-name (list "--stdin-filename" buffer-file-name))))
    (unwind-protect
        ;; Standard error goes to a file of its own, never into the buffer.
        (let ((status (apply #'call-process-region (point-min) (point-max) "qfmt-tree"
                             nil (list output errors) nil arguments)))
          (if (eql status 0)
              (replace-buffer-contents output)
            (message "qfmt-tree: %s"
                     (with-temp-buffer
                       (insert-file-contents errors)
                       (string-trim (buffer-string))))))
      (kill-buffer output)
      (delete-file errors))))

(defun qfmt-tree-format-on-save ()
  "Format the buffer with qfmt-tree before every save."
  (add-hook 'before-save-hook #'qfmt-tree-buffer nil t))

(provide 'qfmt-tree)
;;; qfmt-tree.el ends here
