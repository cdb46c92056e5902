# bash completion for lumra                                  -*- shell-script -*-
#
# Completes the global options, the commands, the --lang values, the named features (asked of
# `lumra --json features`; for set only the writable ones, for toggle those both readable and
# writable, for adjust only the writable quantities) and the monitor selectors (indexes, IDs,
# "all" and the names that fit one monitor, from `lumra --json list`, in any letter case), the
# value names of set, and for save and restore the saved profiles by name, beside file names.
# Installed as share/bash-completion/completions/lumra, where bash-completion loads it on demand;
# it also works when sourced into a shell without bash-completion.

# Prints the string members named $2 of a JSON document, one a line. The tool writes compact
# JSON ("key":"value") and escapes every quote inside a value, so a member's text ends at the
# first plain quote; IDs and feature names hold no escapes.
_lumra_json_strings()
{
    command grep -o "\"$2\":\"[^\"]*\"" <<<"$1" | command sed -e "s/^\"$2\":\"//" -e 's/"$//'
}

# Prints the integer members named $2 of a JSON document, one a line.
_lumra_json_integers()
{
    command grep -o "\"$2\":[0-9][0-9]*" <<<"$1" | command sed -e "s/^\"$2\"://"
}

# The named features; with "adjustable" as $2, only the writable quantities that adjust steps
# through (each feature object begins name, code, writable, unsafe, continuous); with "writable",
# only those that set can write; with "toggleable", those that toggle both reads and writes; with
# "readable", only those that get can read (the write-only ones say "readable":false).
_lumra_features()
{
    local json
    json=$("$1" --json features 2>/dev/null) || return
    case ${2-} in
        readable) json=$(command grep -o '{[^}]*}' <<<"$json" | command grep -v '"readable":false') ;;
        writable) json=$(command grep -o '{[^}]*}' <<<"$json" | command grep '"writable":true') ;;
        toggleable)
            json=$(command grep -o '{[^}]*}' <<<"$json" | command grep '"writable":true' |
                command grep -v '"readable":false')
            ;;
        adjustable)
            json=$(command grep -o '"name":"[^"]*","code":[0-9]*,"writable":true,"unsafe":[a-z]*,"continuous":true' <<<"$json")
            ;;
    esac
    _lumra_json_strings "$json" name
}

# Indexes first, then IDs, "all" and the names (blanks escaped, as the shell reads them back).
# A name that two monitors share (in any letter case) is left out: lumra refuses it. The deadline
# keeps a slow or absent monitor from stalling the shell.
_lumra_selectors()
{
    local json name
    local -a names
    local -A seen=()
    json=$("$1" --json --timeout 2s list 2>/dev/null) || return
    _lumra_json_integers "$json" index
    _lumra_json_strings "$json" id
    echo all
    while IFS= read -r name; do
        [[ -n $name ]] || continue
        names+=("$name")
        seen[${name,,}]=$((${seen[${name,,}]-0} + 1))
    done <<<"$(_lumra_json_strings "$json" name)"
    for name in "${names[@]}"; do
        ((${seen[${name,,}]} == 1)) && printf '%q\n' "$name"
    done
}

# The names that set takes for the values of feature $1 (any letter case); none for others.
_lumra_value_names()
{
    case ${1,,} in
        input-alt) echo $'hdmi1\nhdmi2\ndp1\ndp2\nusbc' ;;
        input) echo $'vga1\nvga2\ndvi1\ndvi2\ncomposite1\ncomposite2\nsvideo1\nsvideo2\ntuner1\ntuner2\ntuner3\ncomponent1\ncomponent2\ncomponent3\ndp1\ndp2\nhdmi1\nhdmi2\nusbc' ;;
        power) echo $'on\nstandby\nsuspend\noff\noff-hard' ;;
        mute) echo $'on\noff' ;;
        color-preset) echo $'srgb\nnative\n4000k\n5000k\n6500k\n7500k\n8200k\n9300k\n10000k\n11500k\nuser1\nuser2\nuser3' ;;
    esac
}

# The bare names of the saved profiles (the .json files of the profiles folder), which save and
# restore take in place of a path.
_lumra_profiles()
{
    local path
    [[ -n ${HOME-} ]] || return
    for path in "$HOME/Library/Application Support/lumra/profiles"/*.json; do
        [[ -f $path ]] || continue
        path=${path##*/}
        echo "${path%.json}"
    done
}

# Offers the saved profiles by name, then the file names that begin with $cur. The replies are
# file names to readline, which quotes their blanks itself.
_lumra_offer_profiles()
{
    local word
    _lumra_offer "$(_lumra_profiles)"
    compopt -o filenames 2>/dev/null
    if declare -F _filedir >/dev/null; then
        _filedir
    else
        # Without bash-completion, undo the escapes of the typed word before matching files.
        while IFS= read -r word; do
            [[ -n $word ]] && COMPREPLY+=("$word")
        done <<<"$(compgen -f -- "$(command sed -e 's/\\\(.\)/\1/g' -e "s/^[\"']//" <<<"$cur")")"
    fi
}

# Offers the words of $1 that begin with $cur, one per COMPREPLY entry. Readline replaces only
# the text after the last word-break character, so a colon inside an ID (darwin:3E56:...) or the
# "=" of --lang=VALUE leaves its left part on the line, and the replies must not repeat it.
# $2 is the "--option=" text already stripped from $cur, if any. Letter case does not matter where
# the whole word is replaced (lumra folds the case of names): the reply puts the real spelling on
# the line.
_lumra_offer()
{
    local word full typed=${2-}$cur breaks= left=
    [[ $COMP_WORDBREAKS == *=* ]] && breaks+='='
    [[ $COMP_WORDBREAKS == *:* ]] && breaks+=':'
    if [[ -n $breaks && $typed == *["$breaks"]* ]]; then
        left=${typed%"${typed##*["$breaks"]}"}
    fi
    COMPREPLY=()
    while IFS= read -r word; do
        # Only a whole word is replaced, so a typed left part (an ID's) must match exactly.
        if [[ -n $left ]]; then
            [[ -n $word && $word == "$cur"* ]] || continue
        else
            [[ -n $word && ${word,,} == "${cur,,}"* ]] || continue
        fi
        full=${2-}$word
        COMPREPLY+=("${full:${#left}}")
    done <<<"$1"
}

# Splits $1 into the array words at blanks that are neither quoted nor escaped; the last word is
# the one being completed (empty after a trailing blank).
_lumra_split_line()
{
    local line=$1 word= quote= ch i
    words=()
    for ((i = 0; i < ${#line}; i++)); do
        ch=${line:i:1}
        if [[ $ch == \\ && $quote != "'" ]]; then
            # The escape and the character it protects stay together in the word.
            word+=${line:i:2}
            i=$((i + 1))
            continue
        elif [[ -n $quote ]]; then
            [[ $ch == "$quote" ]] && quote=
        elif [[ $ch == [[:blank:]] ]]; then
            [[ -n $word ]] && words+=("$word")
            word=
            continue
        elif [[ $ch == [\"\'] ]]; then
            quote=$ch
        fi
        word+=$ch
    done
    words+=("$word")
}

_lumra()
{
    local cur prev words cword
    if declare -F _get_comp_words_by_ref >/dev/null; then
        # Reassembles words that bash split at "=" and ":" (--lang=zh-CN, darwin:3E56:...).
        _get_comp_words_by_ref -n =: cur prev words cword
    elif [[ -n ${COMP_LINE-} ]]; then
        # Without bash-completion, split the line before the cursor as the shell would: at blanks
        # outside quotes and not escaped, keeping each word as typed (Orvane\ Q27\ Pro is one).
        _lumra_split_line "${COMP_LINE:0:COMP_POINT}"
        cword=$((${#words[@]} - 1))
        cur=${words[cword]}
        prev=${words[cword - 1]}
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${words[cword]}
        prev=${words[cword - 1]}
    fi

    local program=${words[0]}
    [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}

    # The words before the cursor that are not options: the command and its arguments. Options
    # may stand anywhere until "--"; --lang and --timeout take the next word as their value.
    local i word options_done= expects_value=
    local -a positional=()
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ -n $expects_value ]]; then
            expects_value=
        elif [[ -n $options_done || $word == - || $word != -* ]]; then
            positional+=("$word")
        elif [[ $word == -- ]]; then
            options_done=1
        elif [[ $word == --lang || $word == --timeout ]]; then
            expects_value=1
        fi
    done

    if [[ -n $expects_value ]]; then
        case $prev in
            --lang) _lumra_offer $'en\nzh-CN' ;;
            --timeout) _lumra_offer $'1s\n3s\n5s\n10s\n30s' ;;
        esac
        return
    fi

    if [[ -z $options_done && $cur == -* ]]; then
        case $cur in
            --lang=*)
                cur=${cur#--lang=}
                _lumra_offer $'en\nzh-CN' --lang=
                ;;
            --timeout=*)
                cur=${cur#--timeout=}
                _lumra_offer $'1s\n3s\n5s\n10s\n30s' --timeout=
                ;;
            *)
                _lumra_offer $'--json\n--lang\n--save-settings\n--timeout\n--unsafe\n--verify\n--wait\n--version\n--help\n-h\n--'
                ;;
        esac
        return
    fi

    case ${#positional[@]} in
        0)
            _lumra_offer $'list\nget\nset\nadjust\ntoggle\ncapabilities\ncaps\nsave\nrestore\nfeatures\nhelp'
            ;;
        1)
            case ${positional[0]} in
                get | set | adjust | toggle | capabilities | caps | save)
                    _lumra_offer "$(_lumra_selectors "$program")"
                    ;;
                restore)
                    _lumra_offer_profiles
                    ;;
            esac
            ;;
        2)
            case ${positional[0]} in
                get)
                    _lumra_offer "$(_lumra_features "$program" readable)"
                    ;;
                toggle)
                    _lumra_offer "$(_lumra_features "$program" toggleable)"
                    ;;
                set)
                    _lumra_offer "$(_lumra_features "$program" writable)"
                    ;;
                adjust)
                    _lumra_offer "$(_lumra_features "$program" adjustable)"
                    ;;
                save)
                    _lumra_offer_profiles
                    ;;
                restore)
                    _lumra_offer "$(_lumra_selectors "$program")"
                    ;;
            esac
            ;;
        3)
            [[ ${positional[0]} == set || ${positional[0]} == toggle ]] &&
                _lumra_offer "$(_lumra_value_names "${positional[2]}")"
            ;;
        4)
            [[ ${positional[0]} == toggle ]] && _lumra_offer "$(_lumra_value_names "${positional[2]}")"
            ;;
    esac
} &&
    complete -F _lumra lumra

# ex: filetype=sh
