-- Builds a headless session: one stereo track through Gravelix with a chosen program and
-- parameter values, records a few seconds from the dummy backend's generator, moves the take
-- one second in (so the start of playback happens on silence) and saves.
-- Arguments come as globals set by the caller: session_dir, session_name, rate, program,
-- params (table index -> value), seconds, plugin_name and, if not VST 2.4, plugin_type.
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_device_name("Pink Noise")
AudioEngine:set_sample_rate(rate)
assert(create_session(session_dir, session_name, rate), "cannot create the session")
local t = Session:new_audio_track(2, 2, nil, 1, "guitar", ARDOUR.PresentationInfo.max_order,
                                  ARDOUR.TrackMode.Normal, true, false):front()
local proc = ARDOUR.LuaAPI.new_plugin(Session, plugin_name, plugin_type or ARDOUR.PluginType.LXVST, "")
assert(not proc:isnil(), "Ardour does not know the plug-in")
assert(t:add_processor_by_index(proc, 0, nil, true) == 0, "cannot insert the plug-in")
local plug = proc:to_insert():plugin(0)
local preset = plug:preset_by_label(program)
assert(preset, "no program named " .. program)
assert(plug:load_preset(preset), "cannot load program " .. program)
for index, value in pairs(params) do
  assert(ARDOUR.LuaAPI.set_processor_param(proc, index, value), "cannot set parameter " .. index)
end
-- Ardour would route the track wherever its defaults say; the master bus is wanted.
t:output():disconnect_all(nil)
for c = 0, 1 do
  assert(t:output():connect(t:output():audio(c), Session:master_out():input():audio(c):name(), nil) == 0)
end
t:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
Session:maybe_enable_record(false)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(math.floor(seconds * 1000000))
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
Session:disable_record(false, false)
t:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
local regions = 0
for r in t:playlist():region_list():iter() do
  local ar = r:to_audioregion()
  ar:set_fade_in_active(false)
  ar:set_fade_out_active(false)
  r:set_position(Temporal.timepos_t(rate))
  regions = regions + 1
end
assert(regions == 1, "expected one recorded take, got " .. regions)
Session:save_state("", false, false, false, false, false)
close_session()
print("session ready")
