# Bash completion for wrenly-cli: commands, channel numbers, feed addresses,
# categories, setting names and files, taken from the program being completed
# so they follow its data (XDG_CONFIG_HOME / XDG_DATA_HOME as set in the shell).

_wrenly_cli_settings="AlwaysConnected ArticlesNumber ArticlesNumberSet AutoUpdateMode AutoUpdateTimeNum
AutoUpdateTimeUnit DownloadFulltext DownloadImage HtmlFontSize Language LastUpdateTime NetAgencyIP NewHeadlinesNotice
PaneSizes Root Storage StorageCardName StorageCardNo SupportWebsite UseNetAgency UseStorageCard WindowGeometry"

# Prints one column of "wrenly-cli channels" (1 number, 2 category, 4 address), once each.
_wrenly_cli_column() {
    "$1" channels 2>/dev/null | cut -f "$2" | awk 'NF && !seen[$0]++'
}

# Offers the lines of $2 that start with the word being completed, spaces kept.
_wrenly_cli_offer_lines() {
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$2" -- "$1"))
}

_wrenly_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]} command=${COMP_WORDS[1]} position=$((COMP_CWORD - 1))
    COMPREPLY=()
    if [[ $COMP_CWORD -eq 1 ]]; then
        local commands
        commands=$("$program" --help 2>/dev/null | awk '/^commands:/ { on = 1; next } on && NF { print $1 }')
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    if [[ $prev == --channel ]]; then
        COMPREPLY=($(compgen -W "$(_wrenly_cli_column "$program" 1)" -- "$cur"))
        return
    fi
    if [[ $prev == --category ]]; then
        _wrenly_cli_offer_lines "$cur" "$(_wrenly_cli_column "$program" 2)"
        return
    fi
    case $command in
        channels|items|parse)
            if [[ $command != channels && $position -eq 1 ]]; then
                [[ $command == parse ]] && COMPREPLY=($(compgen -f -- "$cur"))
                [[ $command == items ]] && COMPREPLY=($(compgen -W "$(_wrenly_cli_column "$program" 1)" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "--json" -- "$cur"))
            fi ;;
        add)
            [[ $position -ge 3 ]] && COMPREPLY=($(compgen -W "--category" -- "$cur")) ;;
        merge|mark|delete-item|fulltext|refresh)
            if [[ $position -eq 1 || $command == refresh ]]; then
                COMPREPLY=($(compgen -W "$(_wrenly_cli_column "$program" 1)" -- "$cur"))
            elif [[ $position -eq 2 ]]; then
                case $command in
                    merge) COMPREPLY=($(compgen -f -- "$cur")) ;;
                    mark) COMPREPLY=($(compgen -W "read unread" -- "$cur")) ;;
                    fulltext) COMPREPLY=($(compgen -W "auto template off" -- "$cur")) ;;
                esac
            fi ;;
        move|delete)
            if [[ $position -eq 1 ]]; then
                _wrenly_cli_offer_lines "$cur" "$(_wrenly_cli_column "$program" 4)"
            elif [[ $command == move && $position -eq 2 ]]; then
                _wrenly_cli_offer_lines "$cur" "$(_wrenly_cli_column "$program" 2)"
            fi ;;
        rename|delete-category)
            [[ $position -eq 1 ]] && _wrenly_cli_offer_lines "$cur" "$(_wrenly_cli_column "$program" 2)" ;;
        search)
            [[ $cur == -* ]] && COMPREPLY=($(compgen -W "--json --channel" -- "$cur")) ;;
        account)
            if [[ $position -eq 1 ]]; then
                COMPREPLY=($(compgen -W "ttrss remove" -- "$cur"))
            elif [[ ${COMP_WORDS[2]} == ttrss && $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--allow-http" -- "$cur"))
            fi ;;
        set|get)
            [[ $position -eq 1 ]] && COMPREPLY=($(compgen -W "$_wrenly_cli_settings" -- "$cur")) ;;
        import|export)
            [[ $position -eq 1 ]] && COMPREPLY=($(compgen -f -- "$cur")) ;;
        extract)
            if [[ $prev != --url ]]; then
                [[ $position -eq 1 ]] && COMPREPLY=($(compgen -f -- "$cur")) || COMPREPLY=($(compgen -W "--url" -- "$cur"))
            fi ;;
    esac
}

complete -o filenames -F _wrenly_cli wrenly-cli
