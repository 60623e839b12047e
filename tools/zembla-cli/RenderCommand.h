#pragma once

// zembla-cli render [--rate=HZ] SONG OUT.wav: the whole mix of a song folder, from its start to
// the end of its longest track, as a 16-bit stereo WAV file. The song plays on a free-running
// virtual card that writes what it plays into the file, through the engine's own playback
// path, as fast as the machine allows. Nothing in the song folder changes; OUT.wav appears
// only when it is whole.

// The engine's buffers for a render, chosen for speed (bench/render/run-render-bench.sh):
// buffers of 64 KB stay in the processor's caches while sixteen tracks are summed into them,
// and without track caches every read lands in the engine's one scratch block, which stays
// there too, instead of passing through sixteen caches of a megabyte each (the kernel's
// read-ahead does what the caches would).
inline constexpr int RenderBufferCount = 4;
inline constexpr int RenderBufferFrames = 16384;
inline constexpr int RenderCacheBytes = 0;

// argv[1] is "render"; returns the program's exit code (2 for arguments that do not fit).
int RunRenderCommand(int argc, char** argv);
