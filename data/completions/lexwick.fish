# SPDX-License-Identifier: MIT
# fish completion for lexwick
complete -c lexwick -f
complete -c lexwick -n __fish_use_subcommand -a correct -d 'Correct the selected text'
complete -c lexwick -n __fish_use_subcommand -a paraphrase -d 'Paraphrase the selected text in a formal tone'
complete -c lexwick -n __fish_use_subcommand -a explain -d 'Explain the selected text'
complete -c lexwick -n __fish_use_subcommand -l help -d 'Show the help'
complete -c lexwick -n __fish_use_subcommand -l version -d 'Show the version'
