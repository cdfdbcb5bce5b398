# The resident shell end to end: start-up, second instance, shut-down, hand-over and
# a port that is missing or lost. Included by tests/wine/CMakeLists.txt.
vantrel_wine_test(wine_shell ${CMAKE_CURRENT_LIST_DIR}/test_shell_e2e.py)
