// Reports from inside FFmpeg's frame threading and SDL's audio thread
// are the libraries' own business (they synchronise with atomics the race
// detector cannot see in uninstrumented code); ours are still reported.
#pragma once

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libavcodec.so\n"
           "race:libavutil.so\n"
           "race:libswresample.so\n"
           "race:libSDL-1.2.so\n"
           "called_from_lib:libavcodec.so\n"
           "called_from_lib:swrast_dri.so\n"
           "deadlock:libLLVM-15.so\n";
}
#endif
