# SPDX-License-Identifier: MIT
# bash completion for lexwick
_lexwick()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W 'correct paraphrase explain --paste --no-paste --help --version' -- "$current"))
    else
        # After the first word: the other half of an action and a paste option.
        COMPREPLY=($(compgen -W 'correct paraphrase explain --paste --no-paste' -- "$current"))
    fi
}
complete -F _lexwick lexwick
