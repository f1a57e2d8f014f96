#include "engine/av_result.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace {

struct AvErrorResult {
    int av_error;
    ResultCode result;
};

const AvErrorResult AV_ERROR_RESULTS[] = {
    {AVERROR_EOF, RESULT_OK},
    {AVERROR(ENOMEM), ERR_OUT_OF_MEMORY},
    {AVERROR_INVALIDDATA, ERR_DECODE},
    {AVERROR_BUG, ERR_DECODE},
    {AVERROR_BUG2, ERR_DECODE},
    {AVERROR_PATCHWELCOME, ERR_DECODE},
    {AVERROR_BUFFER_TOO_SMALL, ERR_DECODE},
};

}  // namespace

ResultCode result_from_av_error(int av_error)
{
    if (av_error >= 0)
        return RESULT_OK;
    for (const AvErrorResult& e : AV_ERROR_RESULTS)
        if (e.av_error == av_error)
            return e.result;
    return ERR_MEDIA_OPEN;
}
