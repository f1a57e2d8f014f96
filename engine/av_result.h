// The one translation of FFmpeg error numbers into the program's result
// codes, so that every failure the engine reports speaks one vocabulary.
// Pure; any thread may call it.
//
// - 0, positive values and AVERROR_EOF (a normal end) give RESULT_OK;
// - AVERROR(ENOMEM) gives ERR_OUT_OF_MEMORY;
// - damaged data and decoder faults (AVERROR_INVALIDDATA, AVERROR_BUG,
//   AVERROR_BUG2, AVERROR_PATCHWELCOME, AVERROR_BUFFER_TOO_SMALL) give
//   ERR_DECODE;
// - anything else (no demuxer, decoder or protocol, I/O and network errors,
//   refused names) gives ERR_MEDIA_OPEN.
#pragma once

#include "platform/result_codes.h"

ResultCode result_from_av_error(int av_error);
