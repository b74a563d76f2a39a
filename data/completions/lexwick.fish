# SPDX-License-Identifier: MIT
# fish completion for lexwick
complete -c lexwick -f
complete -c lexwick -n __fish_use_subcommand -a correct -d 'Correct the selected text'
complete -c lexwick -n __fish_use_subcommand -a paraphrase -d 'Paraphrase the selected text in a formal tone'
complete -c lexwick -n __fish_use_subcommand -a explain -d 'Explain the selected text'
complete -c lexwick -n __fish_use_subcommand -l help -d 'Show the help'
complete -c lexwick -n __fish_use_subcommand -l version -d 'Show the version'
complete -c lexwick -l paste -d 'Replace the selection with the result'
complete -c lexwick -l no-paste -d 'Leave the result on the clipboard only'
