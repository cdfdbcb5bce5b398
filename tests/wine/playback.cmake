# Key press to playback under Wine: Vantrel.exe with fksim on COM1 and fktarget in
# front. Included by CMakeLists.txt here (vantrel_wine_test).
foreach(model 6094 48G9995 X8000)
  vantrel_wine_test(wine_playback_${model} ${CMAKE_CURRENT_SOURCE_DIR}/test_playback_model.py
                    --model ${model})
endforeach()

# Text steps with a Japanese (code page 932) and a non-Japanese Wine locale.
vantrel_wine_test(wine_playback_paste_japanese ${CMAKE_CURRENT_SOURCE_DIR}/test_playback_paste.py
                  --locale ja_JP.UTF-8)
vantrel_wine_test(wine_playback_paste_c_locale ${CMAKE_CURRENT_SOURCE_DIR}/test_playback_paste.py
                  --locale C.UTF-8)
