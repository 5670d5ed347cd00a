# Debian's JUCE 7.0.5 plug-in clients make heap calls on the audio thread. Each fault is one line, fixed in a copy
# of the installed file made when the project is configured. The configuration stops when the line to replace is
# not there exactly once, so a JUCE update gets looked at instead of being built unfixed.

# Copies `relative_path` from the installed modules to the same path under `copy_root`, with the whole line
# `old_line` replaced by `new_line`. JUCE's sources end their lines with CRLF; the copy ends them with LF.
function(_tazzle_copy_juce_file_with_line_replaced relative_path old_line new_line copy_root)
    set(installed "${JUCE_MODULES_DIR}/${relative_path}")
    if(NOT EXISTS "${installed}")
        message(FATAL_ERROR "JUCE client fix: ${installed} not found (JUCE_MODULES_DIR is '${JUCE_MODULES_DIR}').")
    endif()
    # Checked again, and copied again, whenever the installed file changes (a package upgrade, say).
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${installed}")

    file(READ "${installed}" text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(FIND "${text}" "\n${old_line}\n" first)
    string(FIND "${text}" "\n${old_line}\n" last REVERSE)
    if(first EQUAL -1 OR NOT first EQUAL last)
        message(FATAL_ERROR
            "JUCE client fix: ${installed} no longer holds this line exactly once:\n"
            "${old_line}\n"
            "If this JUCE has fixed it, remove the fix from cmake/JucePluginClientFixes.cmake; "
            "otherwise point the fix at the code as it is now.")
    endif()
    string(REPLACE "\n${old_line}\n" "\n${new_line}\n" text "${text}")

    # Written only when it differs, so configuring again does not rebuild the wrapper.
    set(copy "${copy_root}/${relative_path}")
    set(previous_text "")
    if(EXISTS "${copy}")
        file(READ "${copy}" previous_text)
    endif()
    if(NOT previous_text STREQUAL text)
        file(WRITE "${copy}" "${text}")
    endif()
endfunction()

# VST3: ClientBufferMapperData::setUpInputChannels copies each input bus's channel mapping, which holds a
# std::vector, on every process call: an allocation and a free per input bus and block. The loops around it take a
# reference, as later JUCE releases do there too. Only the wrapper's translation unit uses that code, and it
# includes the header by its module path, so `target` (the VST3 format target) finds the fixed copy ahead of the
# installed one.
function(tazzle_fix_juce_vst3_client target)
    set(copy_root "${CMAKE_CURRENT_BINARY_DIR}/juce-client-fixes/vst3")
    _tazzle_copy_juce_file_with_line_replaced(
        "juce_audio_processors/format_types/juce_VST3Common.h"
        "            const auto mapping = map[busIndex];"
        "            const auto& mapping = map[busIndex];"
        "${copy_root}")
    target_include_directories(${target} BEFORE PRIVATE "${copy_root}")
endfunction()

# LV2: run() resizes its buffer to each block keeping the old content, and AudioBuffer::setSize reuses its memory on
# that path only while blocks do not grow, so every block longer than the one before allocates. Nothing reads the
# old content (the inputs are copied in right after), so the fixed line drops it and the buffer stays in the memory
# sized for the prepared maximum block. That file is the wrapper's whole translation unit (the installed wrapper
# source only includes it), so the fixed copy takes its place among the sources of JUCE's LV2 wrapper library.
function(tazzle_fix_juce_lv2_client)
    set(copy_root "${CMAKE_CURRENT_BINARY_DIR}/juce-client-fixes/lv2")
    set(client "juce_audio_plugin_client/LV2/juce_LV2_Client.cpp")
    _tazzle_copy_juce_file_with_line_replaced(
        "${client}"
        "        audio.setSize (audio.getNumChannels(), static_cast<int> (numSteps), true, false, true);"
        "        audio.setSize (audio.getNumChannels(), static_cast<int> (numSteps), false, false, true);"
        "${copy_root}")

    set(installed_wrapper "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${installed_wrapper}")
    file(READ "${installed_wrapper}" wrapper_text)
    string(REGEX REPLACE "^/\\*.*\\*/" "" wrapper_code "${wrapper_text}")
    string(STRIP "${wrapper_code}" wrapper_code)
    get_target_property(wrapper_sources juce_audio_plugin_client_LV2 INTERFACE_SOURCES)
    list(FIND wrapper_sources "${installed_wrapper}" wrapper_index)
    if(NOT wrapper_code STREQUAL "#include \"LV2/juce_LV2_Client.cpp\"" OR wrapper_index EQUAL -1)
        message(FATAL_ERROR
            "JUCE client fix: ${installed_wrapper} no longer just includes ${client}, or is no longer a source "
            "of JUCE's LV2 wrapper library; update the LV2 fix in cmake/JucePluginClientFixes.cmake.")
    endif()
    list(REMOVE_AT wrapper_sources ${wrapper_index})
    list(INSERT wrapper_sources ${wrapper_index} "${copy_root}/${client}")
    set_property(TARGET juce_audio_plugin_client_LV2 PROPERTY INTERFACE_SOURCES "${wrapper_sources}")
endfunction()
