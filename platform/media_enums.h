// Shared enumerations of what is played and listed. The numbers are stored
// in files and compared across modules, so they are fixed.
#pragma once

// What the item to play is (AppState navigation, media_kind).
enum MediaKind : int {
    MEDIA_KIND_LIVE = 0,      // a live channel from the streamer
    MEDIA_KIND_STREAMED = 1,  // a file streamed from the streamer
    MEDIA_KIND_DIRECT = 2,    // a local file or URL opened directly
};

// Which list the browser shows (browse_mode).
enum BrowseMode : int {
    BROWSE_PLAYLIST_ITEMS = 0,
    BROWSE_RECORDINGS = 1,
    BROWSE_LOCAL = 2,
    BROWSE_REMOTE = 3,
    BROWSE_CHANNELS = 4,
    BROWSE_UPNP = 5,
    BROWSE_PLAYLISTS = 6,
};
constexpr int BROWSE_MODE_COUNT = 8;  // room for the per-mode scroll memory

// Where the current list comes from (list_source).
enum MediaSource : int {
    SOURCE_LOCAL = 0,
    SOURCE_STREAMER = 1,
    SOURCE_UPNP = 2,
};

// How the media open routed the item (source_kind).
enum SourceKind : int {
    SOURCE_KIND_STREAMER = 0,  // the streaming session player
    SOURCE_KIND_LOCAL = 1,     // the local engine
};

// Display orientation in quarter turns.
enum Orientation : int {
    ORIENTATION_UPRIGHT = 0,
    ORIENTATION_QUARTER = 1,
    ORIENTATION_HALF = 2,
    ORIENTATION_THREE_QUARTERS = 3,
};
constexpr bool orientation_is_portrait(int o)
{
    return o == ORIENTATION_QUARTER || o == ORIENTATION_THREE_QUARTERS;
}

// Class of a listed item, from its name or its source.
enum MediaClass : int {
    MEDIA_CLASS_OTHER = 0,
    MEDIA_CLASS_IMAGE = 1,
    MEDIA_CLASS_VIDEO = 2,
    MEDIA_CLASS_AUDIO = 3,
    MEDIA_CLASS_FOLDER = 4,
    MEDIA_CLASS_PLAYLIST = 5,
    MEDIA_CLASS_RENDERER = 7,
};

// Stream choice values (audio_stream, video_stream, subtitle_stream).
constexpr int STREAM_AUTO = -1;    // the first suitable stream
constexpr int SUBTITLES_OFF = -2;  // no subtitles at all
