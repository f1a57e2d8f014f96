// Result codes: one numbering for every failure the user can be shown. Every
// network, streaming and playback operation returns 0 or one of these; the
// error message box turns them into text. Values are fixed: the streamer's
// replies and the last dispatch result are compared against them.
#pragma once

enum ResultCode : int {
    RESULT_OK = 0,
    ERR_GENERIC = -1,            // socket, file or exchange failure
    ERR_LOGIN_REFUSED = -2,      // the broker or streamer refused the user
    ERR_NO_SHARED_MEDIA = -8,    // empty folder listing from the streamer
    ERR_DIRECTORY_SERVICE = -9,  // directory lookup failed
    ERR_NO_NETWORK = -10,        // no network connection
    ERR_MEDIA_OPEN = -11,        // media could not be opened / stream start refused
    ERR_NO_ACCOUNT = -12,        // no streamer account entered
    ERR_NO_CHANNELS = -13,       // empty channel list
    ERR_OUT_OF_MEMORY = -15,
    ERR_DECODE = -16,          // unrecoverable decoder failure
    ERR_STORE_FULL = -19,      // time-shift or progressive-download file full or unwritable
    ERR_STREAM_DATA = -20,     // malformed data stream
    ERR_SERVER_REPLY = -21,    // refused or malformed reply
    ERR_NO_UPNP_SERVER = -23,  // no UPnP server found
    ERR_RENDERER_LOST = -24,   // the Play To renderer left the network or stopped answering
};

// The play dispatcher's result that ends the program.
constexpr int DISPATCH_LEAVE = 2;
