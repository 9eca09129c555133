# Prints the fenced block that follows the line given as marker (awk -v marker=...) in a
# Markdown file: the README's commands and examples, for CI and the tests to run as written.
$0 == marker { found = 1; next }
found && /^```/ { if (inside) exit; inside = 1; next }
inside { print }
