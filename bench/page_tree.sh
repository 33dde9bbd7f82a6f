# Sourced by the benchmark scripts: a site of N pages made of the test pages repeated, 500 a folder.
#   make_page_tree ROOT N TREE    (ROOT: the source tree; nothing is done when TREE exists)
make_page_tree() {
    local root=$1 pages=$2 tree=$3
    [ -d "$tree" ] && return 0
    local sources
    mapfile -t sources < <(ls "$root"/tests/data/*.html)
    for ((i = 0; i < pages; i++)); do
        mkdir -p "$tree/part$((i / 500))"
        cp "${sources[i % ${#sources[@]}]}" "$tree/part$((i / 500))/page$i.html"
    done
}
