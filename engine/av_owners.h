// Owners for FFmpeg objects held by C++ scope: each unique_ptr frees its
// object with the library's own free call. Null pointers are fine.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AvPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvCodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvFormatContextClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct AvParserClose {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct AvBufferFree {
    void operator()(uint8_t* p) const { av_free(p); }
};

using PacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using FramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, AvFormatContextClose>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, AvParserClose>;
using AvBufferPtr = std::unique_ptr<uint8_t, AvBufferFree>;
