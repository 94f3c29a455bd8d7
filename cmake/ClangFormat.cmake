# Two targets for the layout of the code, both over every C++ file of the
# tree as .clang-format says:
#   format        formats the files in place
#   format-check  fails, listing them, when a file is not formatted
# Both run scripts/check-format, which scripts/test runs too, so the build
# and the tests agree on which files and which clang-format.

add_custom_target(format
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-format" --fix
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    COMMENT "Formatting the C++ files with clang-format"
    VERBATIM)

add_custom_target(format-check
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-format"
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    COMMENT "Checking the layout of the C++ files with clang-format"
    VERBATIM)
