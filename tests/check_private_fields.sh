#!/usr/bin/env bash
# Every data member named F... under the given source folders is private or
# protected: other classes and tests reach a class's state only through its
# accessors and published properties. Prints each public one and fails.
set -euo pipefail
status=0
while IFS= read -r -d '' header; do
    found=$(awk '
        /^(class|struct) [A-Za-z_]+[^;]*$/ { access = ($1 == "struct") ? "public" : "private" }
        /^ *(public|public slots|signals):/ { access = "public" }
        /^ *(private|private slots):/       { access = "private" }
        /^ *protected( slots)?:/            { access = "protected" }
        access == "public" && /[ *&>]F[A-Z][A-Za-z0-9_]*( *=[^=(]*| *\{[^}]*\})?;/ && !/\(/ {
            print FILENAME ":" FNR ": " $0
        }' "$header")
    if [ -n "$found" ]; then
        echo "$found"
        status=1
    fi
done < <(find "$@" -name '*.h' -print0)
exit $status
