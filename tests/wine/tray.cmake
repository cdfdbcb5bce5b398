# The tray menu (recent layouts chosen by keyboard, played, saved at exit) and the
# hand-over to MC/W windows. Included by tests/wine/CMakeLists.txt.
vantrel_wine_test(wine_tray ${CMAKE_CURRENT_LIST_DIR}/test_tray_e2e.py)
