# Debian's JUCE 7.0.5 plug-in clients have faults that hosts run into. Each fix replaces whole lines of an installed
# file with other lines, in a copy of the file made when the project is configured. The configuration stops when the
# lines to replace are not there exactly once, so a JUCE update gets looked at instead of being built unfixed.

# Reads the installed `relative_path` into `out_var`. JUCE's sources end their lines with CRLF; the text ends them
# with LF.
function(_tazzle_read_juce_file relative_path out_var)
    set(installed "${JUCE_MODULES_DIR}/${relative_path}")
    if(NOT EXISTS "${installed}")
        message(FATAL_ERROR "JUCE client fix: ${installed} not found (JUCE_MODULES_DIR is '${JUCE_MODULES_DIR}').")
    endif()
    # Checked again, and copied again, whenever the installed file changes (a package upgrade, say).
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${installed}")

    file(READ "${installed}" text)
    string(REPLACE "\r\n" "\n" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Replaces the lines `old_lines` of the text in `text_var` (read from `relative_path`) with `new_lines`. Both are
# one or more whole lines; a final line end is optional.
function(_tazzle_replace_lines text_var relative_path old_lines new_lines)
    string(REGEX REPLACE "\n$" "" old_lines "${old_lines}")
    string(REGEX REPLACE "\n$" "" new_lines "${new_lines}")
    set(text "${${text_var}}")

    string(FIND "${text}" "\n${old_lines}\n" first)
    string(FIND "${text}" "\n${old_lines}\n" last REVERSE)
    if(first EQUAL -1 OR NOT first EQUAL last)
        message(FATAL_ERROR
            "JUCE client fix: ${JUCE_MODULES_DIR}/${relative_path} no longer holds these lines exactly once:\n"
            "${old_lines}\n"
            "If this JUCE has fixed what they are replaced for, remove the fix from "
            "cmake/JucePluginClientFixes.cmake; otherwise point the fix at the code as it is now.")
    endif()
    string(REPLACE "\n${old_lines}\n" "\n${new_lines}\n" text "${text}")
    set(${text_var} "${text}" PARENT_SCOPE)
endfunction()

# Writes `text` to `relative_path` under `copy_root`, only when it differs, so configuring again does not rebuild the
# wrapper.
function(_tazzle_write_fixed_copy relative_path text copy_root)
    set(copy "${copy_root}/${relative_path}")
    set(previous_text "")
    if(EXISTS "${copy}")
        file(READ "${copy}" previous_text)
    endif()
    if(NOT previous_text STREQUAL text)
        file(WRITE "${copy}" "${text}")
    endif()
endfunction()

# Puts `fixed_source` in the place of `installed_wrapper` among the sources of JUCE's wrapper library `library`,
# after checking that the installed file does nothing but include `client` (the wrapper's whole translation unit).
function(_tazzle_replace_wrapper_source library installed_wrapper client fixed_source)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${installed_wrapper}")
    file(READ "${installed_wrapper}" wrapper_text)
    string(REGEX REPLACE "^/\\*.*\\*/" "" wrapper_code "${wrapper_text}")
    string(STRIP "${wrapper_code}" wrapper_code)
    get_target_property(wrapper_sources ${library} INTERFACE_SOURCES)
    list(FIND wrapper_sources "${installed_wrapper}" wrapper_index)
    if(NOT wrapper_code STREQUAL "#include \"${client}\"" OR wrapper_index EQUAL -1)
        message(FATAL_ERROR
            "JUCE client fix: ${installed_wrapper} no longer just includes ${client}, or is no longer a source "
            "of ${library}; update the fix in cmake/JucePluginClientFixes.cmake.")
    endif()
    list(REMOVE_AT wrapper_sources ${wrapper_index})
    list(INSERT wrapper_sources ${wrapper_index} "${fixed_source}")
    set_property(TARGET ${library} PROPERTY INTERFACE_SOURCES "${wrapper_sources}")
endfunction()

# VST3, for `target` (the VST3 format target).
function(tazzle_fix_juce_vst3_client target)
    set(copy_root "${CMAKE_CURRENT_BINARY_DIR}/juce-client-fixes/vst3")

    # ClientBufferMapperData::setUpInputChannels copies each input bus's channel mapping, which holds a std::vector,
    # on every process call: an allocation and a free per input bus and block. The loops around it take a
    # reference, as later JUCE releases do there too. The wrapper includes the header by its module path, so it
    # finds the fixed copy ahead of the installed one.
    set(common "juce_audio_processors/format_types/juce_VST3Common.h")
    _tazzle_read_juce_file("${common}" common_text)
    _tazzle_replace_lines(common_text "${common}"
        "            const auto mapping = map[busIndex];"
        "            const auto& mapping = map[busIndex];")
    _tazzle_write_fixed_copy("${common}" "${common_text}" "${copy_root}")
    target_include_directories(${target} BEFORE PRIVATE "${copy_root}")

    # Choice parameters are never marked as lists, so hosts show "Delay Time" or "Filter Type" as stepped sliders
    # instead of menus of their value texts.
    set(client "juce_audio_plugin_client/VST3/juce_VST3_Wrapper.cpp")
    _tazzle_read_juce_file("${client}" client_text)
    _tazzle_replace_lines(client_text "${client}" [=[
            if (isBypassParameter)
                info.flags |= Vst::ParameterInfo::kIsBypass;
]=] [=[
            if (isBypassParameter)
                info.flags |= Vst::ParameterInfo::kIsBypass;

            if (dynamic_cast<AudioParameterChoice*> (&param) != nullptr)
                info.flags |= Vst::ParameterInfo::kIsList;
]=])
    _tazzle_write_fixed_copy("${client}" "${client_text}" "${copy_root}")
    _tazzle_replace_wrapper_source(juce_audio_plugin_client_VST3
        "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp"
        "VST3/juce_VST3_Wrapper.cpp"
        "${copy_root}/${client}")
    # The copy's own includes ("../utility/...") are relative to the installed wrapper's folder.
    target_include_directories(${target} PRIVATE "${JUCE_MODULES_DIR}/juce_audio_plugin_client/VST3")
endfunction()

# LV2. The fixed client is the wrapper's whole translation unit: the installed wrapper source only includes it.
function(tazzle_fix_juce_lv2_client)
    set(copy_root "${CMAKE_CURRENT_BINARY_DIR}/juce-client-fixes/lv2")
    set(client "juce_audio_plugin_client/LV2/juce_LV2_Client.cpp")
    _tazzle_read_juce_file("${client}" text)

    # run() resizes its buffer to each block keeping the old content, and AudioBuffer::setSize reuses its memory on
    # that path only while blocks do not grow, so every block longer than the one before allocates. Nothing reads
    # the old content (the inputs are copied in right after), so the fixed line drops it and the buffer stays in the
    # memory sized for the prepared maximum block.
    _tazzle_replace_lines(text "${client}"
        "        audio.setSize (audio.getNumChannels(), static_cast<int> (numSteps), true, false, true);"
        "        audio.setSize (audio.getNumChannels(), static_cast<int> (numSteps), false, false, true);")

    # The play head forgets the position at every block and reads only the absolute beat (time:beat). Hosts that
    # send a position only when the transport changes, and describe it by the bar (time:bar) and the beat within it
    # (time:barBeat), leave the plug-in without a beat position, so its clock runs freely. The fixed play head works
    # the position out from the bar when the absolute beat is missing (in quarter notes, as the beat unit says),
    # keeps it and moves it on by each block while the transport rolls, and dates a message that arrives within a
    # block back to the block's start.
    _tazzle_replace_lines(text "${client}"
        "    void invalidate() { info = nullopt; }" [=[
    // Called before a block's messages are read; `numSamples` is the block's length.
    void beginBlock (uint32_t numSamples)
    {
        if (info.hasValue() && speed != 0.0)
            moveOn (speed * (double) samplesInLastBlock);

        samplesInLastBlock = numSamples;
    }
]=])
    _tazzle_replace_lines(text "${client}" [=[
        const LV2_Atom* atomBar            = nullptr;
        const LV2_Atom* atomBeat           = nullptr;
]=] [=[
        const LV2_Atom* atomBar            = nullptr;
        const LV2_Atom* atomBarBeat        = nullptr;
        const LV2_Atom* atomBeat           = nullptr;
]=])
    _tazzle_replace_lines(text "${client}" [=[
                                        { mLV2_TIME__beat,              &atomBeat },
]=] [=[
                                        { mLV2_TIME__barBeat,           &atomBarBeat },
                                        { mLV2_TIME__beat,              &atomBeat },
]=])
    _tazzle_replace_lines(text "${client}" [=[
        info->setBpm (parser.parseNumericAtom<float> (atomBeatsPerMinute));
        info->setPpqPosition (parser.parseNumericAtom<double> (atomBeat));
        info->setIsPlaying (parser.parseNumericAtom<float> (atomSpeed).orFallback (0.0f) != 0.0f);
        info->setBarCount (parser.parseNumericAtom<int64_t> (atomBar));

        if (const auto parsed = parser.parseNumericAtom<int64_t> (atomFrame))
        {
            info->setTimeInSamples (*parsed);
            info->setTimeInSeconds ((double) *parsed / sampleRate);
        }
    }
]=] [=[
        info->setBpm (parser.parseNumericAtom<float> (atomBeatsPerMinute));
        speed = parser.parseNumericAtom<double> (atomSpeed).orFallback (0.0);
        info->setIsPlaying (speed != 0.0);

        const auto bar = parser.parseNumericAtom<int64_t> (atomBar);
        const auto barBeat = parser.parseNumericAtom<double> (atomBarBeat);
        info->setBarCount (bar);

        if (const auto beat = parser.parseNumericAtom<double> (atomBeat))
        {
            info->setPpqPosition (beat);
        }
        else if (bar.hasValue() && barBeat.hasValue() && numerator.hasValue())
        {
            const auto beatUnit = denominator.orFallback (4);
            const auto quartersPerBeat = beatUnit > 0 ? 4.0 / beatUnit : 1.0;
            const auto barStart = (double) *bar * *numerator * quartersPerBeat;
            info->setPpqPositionOfLastBarStart (barStart);
            info->setPpqPosition (barStart + *barBeat * quartersPerBeat);
        }

        if (const auto parsed = parser.parseNumericAtom<int64_t> (atomFrame))
        {
            info->setTimeInSamples (*parsed);
            info->setTimeInSeconds ((double) *parsed / sampleRate);
        }

        if (speed != 0.0 && event->time.frames > 0)
            moveOn (-speed * (double) event->time.frames);
    }
]=])
    _tazzle_replace_lines(text "${client}" [=[
    Optional<PositionInfo> info;
    double sampleRate;
]=] [=[
    void moveOn (double samples)
    {
        if (const auto time = info->getTimeInSamples())
        {
            info->setTimeInSamples (*time + (int64_t) std::llround (samples));
            info->setTimeInSeconds ((double) *info->getTimeInSamples() / sampleRate);
        }

        const auto ppq = info->getPpqPosition();
        const auto bpm = info->getBpm();

        if (! ppq.hasValue() || ! bpm.hasValue())
            return;

        info->setPpqPosition (*ppq + samples * *bpm / (60.0 * sampleRate));

        const auto signature = info->getTimeSignature();
        const auto barStart = info->getPpqPositionOfLastBarStart();
        const auto bar = info->getBarCount();

        if (signature.hasValue() && barStart.hasValue() && bar.hasValue() && signature->numerator > 0
            && signature->denominator > 0)
        {
            const auto barLength = signature->numerator * 4.0 / signature->denominator;
            const auto barsPassed = std::floor ((*info->getPpqPosition() - *barStart) / barLength);
            info->setPpqPositionOfLastBarStart (*barStart + barsPassed * barLength);
            info->setBarCount (*bar + (int64_t) barsPassed);
        }
    }

    Optional<PositionInfo> info;
    double sampleRate;
    double speed = 0.0;
    uint32_t samplesInLastBlock = 0;
]=])
    _tazzle_replace_lines(text "${client}"
        "    X (LV2_TIME__bar)" [=[
    X (LV2_TIME__bar)
    X (LV2_TIME__barBeat)
]=])
    _tazzle_replace_lines(text "${client}"
        "        playHead.invalidate();"
        "        playHead.beginBlock (numSteps);")

    # Parameters are patch properties, and a host learns their values only from the patch:Set messages the plug-in
    # sends. The processor applied its welcome preset before the wrapper listened, and the wrapper never answers a
    # host's patch:Get, so a host's own controls show nothing of the values the plug-in plays with. The fixed
    # wrapper announces every value in its first block and answers patch:Get, for one property or for all, with
    # patch:Set at the end of the block. Changes the plug-in makes itself (presets, random patches) it already
    # announces.
    _tazzle_replace_lines(text "${client}"
        "        processor.addListener (this);" [=[
        processor.addListener (this);
        announceAll();
]=])
    _tazzle_replace_lines(text "${client}" [=[
    struct Options
    {
]=] [=[
    void answerPatchGet (const LV2_Atom_Event* event) noexcept
    {
        if (event->body.type != mLV2_ATOM__Object && event->body.type != mLV2_ATOM__Blank)
            return;

        const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);

        if (object->body.otype != mLV2_PATCH__Get)
            return;

        const LV2_Atom* subject  = nullptr;
        const LV2_Atom* property = nullptr;

        LV2_Atom_Object_Query query[] { { mLV2_PATCH__subject,  &subject },
                                        { mLV2_PATCH__property, &property },
                                        LV2_ATOM_OBJECT_QUERY_END };

        lv2_atom_object_query (object, query);

        const auto isUrid = [this] (const LV2_Atom* atom) { return atom->type == mLV2_ATOM__URID; };
        const auto urid = [] (const LV2_Atom* atom) { return reinterpret_cast<const LV2_Atom_URID*> (atom)->body; };

        if (subject != nullptr && ! (isUrid (subject) && urid (subject) == pluginUrid))
            return;

        if (property == nullptr)
        {
            announceAll();
            return;
        }

        if (isUrid (property))
        {
            const auto it = uridToIndexMap.find (urid (property));

            if (it != uridToIndexMap.end())
                stateCache.setBits (it->second, newClientValue);
        }
    }

    void announceAll() noexcept
    {
        for (size_t i = 0; i < stateCache.size(); ++i)
            stateCache.setBits (i, newClientValue);
    }

    struct Options
    {
]=])
    _tazzle_replace_lines(text "${client}"
        "    bool ignoreCallbacks = false;" [=[
    bool ignoreCallbacks = false;
    const LV2_URID pluginUrid = mapFeature.map (mapFeature.handle, JucePlugin_LV2URI);

   #define X(str) const LV2_URID m##str = mapFeature.map (mapFeature.handle, str);
    X (LV2_ATOM__Blank)
    X (LV2_ATOM__Object)
    X (LV2_ATOM__URID)
    X (LV2_PATCH__Get)
    X (LV2_PATCH__property)
    X (LV2_PATCH__subject)
   #undef X
]=])
    _tazzle_replace_lines(text "${client}"
        "            patchSetHelper.processPatchSet (event, Callback { *this });" [=[
            patchSetHelper.processPatchSet (event, Callback { *this });
            parameters.answerPatchGet (event);
]=])

    # The manifest lists every program as a preset. A plug-in with a single program lists the one it is always in,
    # which a host shows as an entry that loads nothing.
    _tazzle_replace_lines(text "${client}"
        "        for (auto i = 0, end = proc.getNumPrograms(); i < end; ++i)"
        "        for (auto i = 0, end = proc.getNumPrograms() > 1 ? proc.getNumPrograms() : 0; i < end; ++i)")

    _tazzle_write_fixed_copy("${client}" "${text}" "${copy_root}")
    _tazzle_replace_wrapper_source(juce_audio_plugin_client_LV2
        "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp"
        "LV2/juce_LV2_Client.cpp"
        "${copy_root}/${client}")
endfunction()
