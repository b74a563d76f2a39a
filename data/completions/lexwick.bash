# SPDX-License-Identifier: MIT
# bash completion for lexwick
_lexwick()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    [[ $COMP_CWORD -eq 1 ]] || return 0
    COMPREPLY=($(compgen -W 'correct paraphrase explain --help --version' -- "$current"))
}
complete -F _lexwick lexwick
