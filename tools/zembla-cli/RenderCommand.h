#pragma once

// zembla-cli render [--rate=HZ] SONG OUT.wav: the whole mix of a song folder, from its start to
// the end of its longest track, as a 16-bit stereo WAV file. The song plays on a free-running
// virtual card that writes what it plays into the file, through the engine's own playback
// path, as fast as the machine allows. Nothing in the song folder changes; OUT.wav appears
// only when it is whole.

// The engine's buffers for a render, chosen for speed (bench/render/run-render-bench.sh).
inline constexpr int RenderBufferCount = 8;
inline constexpr int RenderBufferFrames = 16384;
inline constexpr int RenderCacheBytes = 1 << 20;

// argv[1] is "render"; returns the program's exit code (2 for arguments that do not fit).
int RunRenderCommand(int argc, char** argv);
