# Any bytes as the settings file: reads never fail, a write keeps the rest and reads back.
irconsole_fuzz_target(settings_file ${CMAKE_CURRENT_SOURCE_DIR}/settings_file.cpp
    RUNS 20000 LIBS irconsole_config)
