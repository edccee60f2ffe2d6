# Key files, as the launchers and tarnix-key make them; the build copies this text into both
# scripts, so each stays one self-contained file. A key is 32 bytes from /dev/urandom written as
# 64 lowercase hexadecimal digits on one line, the form the programs read. A key file is readable
# by its owner only from its first byte on (the programs refuse any other), and it takes its
# place in one step, so nobody ever reads a half-written key. $me names the script in messages.

# Exactly 64 hexadecimal digits.
is_key() {
    case $1 in
    *[!0-9a-fA-F]*) return 1 ;;
    esac
    [ ${#1} -eq 64 ]
}

# Sets key to a fresh one.
fresh_key() {
    key=$(od -An -vtx1 -N32 /dev/urandom | tr -d ' \n')
    # od stops at what it could read: a short read must never become a short key.
    is_key "$key" || {
        echo "$me: could not read 32 random bytes from /dev/urandom" >&2
        exit 1
    }
}

# Sets key to the one line of standard input, as a key file holds it (a CR LF end allowed).
read_key() {
    if [ -t 0 ]; then printf 'Key (64 hexadecimal digits): ' >&2; fi
    line=
    IFS= read -r line || [ -n "$line" ] || {
        echo "$me: no key on standard input" >&2
        exit 1
    }
    line=${line%"$(printf '\r')"}
    is_key "$line" || {
        echo "$me: that is no key: a key is one line of 64 hexadecimal digits" >&2
        exit 1
    }
    key=$(printf '%s' "$line" | tr 'A-F' 'a-f')
}

# The arguments after the command: [k] (a master's remote computer, 1..4) and --replace, in any
# order. Sets key_name and replace; returns 1 for anything else. $1 is the role.
key_arguments() {
    key_role=$1
    shift
    computer='' replace=no
    for argument; do
        case $key_role/$argument in
        */--replace) replace=yes ;;
        master/[1-4])
            [ -z "$computer" ] || return 1
            computer=$argument
            ;;
        *) return 1 ;;
        esac
    done
    case $key_role in
    master) key_name=TarnixM$computer.key ;;
    *) key_name=TarnixS.key ;;
    esac
}

# Writes $key to the file $1, owned by $2 (user:group) when given, and prints the file's path.
# A file already there is kept unless replace=yes: replacing a key cuts the link until the
# other computer has the new one too.
write_key_file() {
    file=$1 owner=${2:-}
    umask 077
    temporary=$(mktemp "${file%/*}/.${file##*/}.XXXXXX") || exit 1
    trap 'rm -f -- "$temporary"' EXIT
    trap 'exit 1' HUP INT TERM
    printf '%s\n' "$key" >"$temporary"
    chmod 600 "$temporary"
    if [ -n "$owner" ]; then chown "$owner" "$temporary"; fi
    if [ "$replace" = yes ]; then
        mv -f -T -- "$temporary" "$file"
    elif ! ln -T -- "$temporary" "$file" 2>/dev/null; then
        # A link never replaces a file, not even one made a moment ago.
        if [ -e "$file" ] || [ -L "$file" ]; then
            echo "$me: $file already exists; give --replace to put a new key in its place" >&2
        else
            echo "$me: cannot write $file" >&2
        fi
        exit 1
    fi
    rm -f -- "$temporary"
    trap - EXIT HUP INT TERM
    printf '%s\n' "$file"
}
