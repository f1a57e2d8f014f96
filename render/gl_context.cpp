// EGL context creation, the two GLES 2 programs, the texture-slot table and
// the draw operations built on them.
#include "render/gl_context.h"

#include <EGL/eglext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/media_enums.h"

namespace {

const char* const QUAD_VERTEX_SOURCE = "attribute vec4 a_position;\n"
                                       "attribute vec2 a_texCoord;\n"
                                       "varying vec2 v_texCoord;\n"
                                       "void main() {\n"
                                       "    gl_Position = a_position;\n"
                                       "    v_texCoord = a_texCoord;\n"
                                       "}\n";

// Surfaces hold B,G,R,A bytes and are uploaded as RGBA, so red and blue
// arrive swapped in the sampler; .bgra puts them back.
const char* const QUAD_FRAGMENT_SOURCE =
    "precision lowp float;\n"
    "varying vec2 v_texCoord;\n"
    "uniform sampler2D s_texture;\n"
    "void main() {\n"
    "    gl_FragColor = texture2D(s_texture, v_texCoord).bgra;\n"
    "}\n";

const char* const YUV_VERTEX_SOURCE = "attribute vec4 in_pos;\n"
                                      "attribute vec2 in_tc;\n"
                                      "varying vec2 interp_tc;\n"
                                      "void main() {\n"
                                      "    interp_tc = in_tc;\n"
                                      "    gl_Position = in_pos;\n"
                                      "}\n";

// Full-range samples: luma gets no black-level offset.
const char* const YUV_FRAGMENT_SOURCE = "precision highp float;\n"
                                        "varying vec2 interp_tc;\n"
                                        "uniform sampler2D y_tex;\n"
                                        "uniform sampler2D u_tex;\n"
                                        "uniform sampler2D v_tex;\n"
                                        "uniform mat3 yuv2rgb;\n"
                                        "void main() {\n"
                                        "    float y = texture2D(y_tex, interp_tc).x;\n"
                                        "    float u = texture2D(u_tex, interp_tc).r - .5;\n"
                                        "    float v = texture2D(v_tex, interp_tc).r - .5;\n"
                                        "    vec3 rgb = yuv2rgb * vec3(y, u, v);\n"
                                        "    gl_FragColor = vec4(rgb, 1);\n"
                                        "}\n";

// Column-major: R = Y + 1.403 V, G = Y - 0.344 U - 0.714 V, B = Y + 1.772 U.
const GLfloat YUV2RGB[9] = {
    1.0f, 1.0f, 1.0f, 0.0f, -0.344f, 1.772f, 1.403f, -0.714f, 0.0f,
};

const GLushort QUAD_INDICES[6] = {0, 1, 2, 1, 2, 3};

const float DEFAULT_POSITIONS[8] = {1, 1, -1, 1, 1, -1, -1, -1};
const float DEFAULT_TEXCOORDS[8] = {0, 0, 0, 1, 1, 0, 1, 1};

struct Programs {
    GLuint quad;
    GLint a_position;
    GLint a_texcoord;
    GLuint yuv;
    GLint in_pos;
    GLint in_tc;
    GLint yuv2rgb;
};

Programs g_programs;
TextureSlot g_slots[TEXTURE_SLOT_COUNT];

// Shader and program logs go to stderr in debug builds only.
void report_log([[maybe_unused]] GLuint object, [[maybe_unused]] bool is_program)
{
#ifndef NDEBUG
    GLint length = 0;
    if (is_program)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return;
    std::vector<char> log(static_cast<size_t>(length));
    if (is_program)
        glGetProgramInfoLog(object, length, nullptr, log.data());
    else
        glGetShaderInfoLog(object, length, nullptr, log.data());
    std::fprintf(stderr, "GL %s log: %s\n", is_program ? "link" : "compile", log.data());
#endif
}

// Points two vertex attributes at a slot's quad.
void set_quad_attributes(const TextureSlot* slot, GLint position, GLint texcoord)
{
    if (position >= 0) {
        glVertexAttribPointer(static_cast<GLuint>(position), 2, GL_FLOAT, GL_FALSE, 8,
                              slot->positions);
        glEnableVertexAttribArray(static_cast<GLuint>(position));
    }
    if (texcoord >= 0) {
        glVertexAttribPointer(static_cast<GLuint>(texcoord), 2, GL_FLOAT, GL_FALSE, 8,
                              slot->texcoords);
        glEnableVertexAttribArray(static_cast<GLuint>(texcoord));
    }
}

void set_texture_parameters(GLint filter)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
}

GLenum slot_format(const TextureSlot* slot)
{
    return slot->luminance ? GL_LUMINANCE : GL_RGBA;
}

// Replaces rows row_offset .. row_offset + height - 1 of a bound texture;
// rows of the band that fall outside the texture are dropped, the rest still
// arrive (GL would refuse the whole band).
void upload_rows(const TextureSlot* slot, GLenum format, const void* pixels, int row_offset,
                 int width, int height)
{
    if (!pixels || width <= 0 || height <= 0)
        return;
    const int64_t skipped = row_offset < 0 ? -static_cast<int64_t>(row_offset) : 0;
    const int64_t first = static_cast<int64_t>(row_offset) + skipped;
    const int64_t count = std::min<int64_t>(height - skipped, slot->height - first);
    if (count <= 0)
        return;
    const size_t row_bytes = static_cast<size_t>(width) * (format == GL_RGBA ? 4 : 1);
    const auto* rows = static_cast<const uint8_t*>(pixels) + skipped * row_bytes;
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, static_cast<GLint>(first), width,
                    static_cast<GLsizei>(count), format, GL_UNSIGNED_BYTE, rows);
}

// Binds a plane's texture to a unit and replaces its top-left width x height
// samples; a missing plane keeps the slot's last picture.
void upload_plane(GLenum unit, const TextureSlot* slot, const void* pixels, int width, int height)
{
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, slot->texture);
    if (pixels && width > 0 && height > 0) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                        pixels);
    }
}

void draw_quad()
{
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, QUAD_INDICES);
}

// Creates the context on an initialised display and surface and makes it
// current; on failure destroys the surface. Displays are never terminated:
// that would unload the driver under any other context of the process, and
// the next context would pay to load it again.
bool finish_context(GlContext* ctx, EGLDisplay display, EGLConfig config, EGLSurface surface)
{
    const EGLint context_attributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) {
        eglDestroySurface(display, surface);
        return false;
    }
    if (!eglMakeCurrent(display, surface, surface, context)) {
        eglDestroyContext(display, context);
        eglDestroySurface(display, surface);
        return false;
    }
    ctx->display = display;
    ctx->surface = surface;
    ctx->context = context;
    return true;
}

bool has_client_extension(const char* name)
{
    const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!list)
        return false;
    const size_t length = std::strlen(name);
    for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0'))
            return true;
    }
    return false;
}

EGLDisplay platform_display(EGLenum platform, void* native_display)
{
    auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!get_platform_display)
        return EGL_NO_DISPLAY;
    return get_platform_display(platform, native_display, nullptr);
}

}  // namespace

bool gl_context_create(GlContext* ctx)
{
    EGLDisplay display = EGL_NO_DISPLAY;
    if (has_client_extension("EGL_KHR_platform_x11"))
        display = platform_display(EGL_PLATFORM_X11_KHR, ctx->native_display);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(static_cast<EGLNativeDisplayType>(ctx->native_display));
    if (display == EGL_NO_DISPLAY)
        return false;
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor))
        return false;

    EGLint config_count = 0;
    if (!eglGetConfigs(display, nullptr, 0, &config_count))
        return false;
    // Asks for RGB565; drivers without it answer with their nearest config.
    const EGLint config_attributes[] = {
        EGL_RED_SIZE,       5,
        EGL_GREEN_SIZE,     6,
        EGL_BLUE_SIZE,      5,
        EGL_ALPHA_SIZE,     EGL_DONT_CARE,
        EGL_DEPTH_SIZE,     EGL_DONT_CARE,
        EGL_STENCIL_SIZE,   EGL_DONT_CARE,
        EGL_SAMPLE_BUFFERS, 0,
        EGL_NONE,
    };
    EGLConfig config = nullptr;
    EGLint chosen = 0;
    if (!eglChooseConfig(display, config_attributes, &config, 1, &chosen) || chosen < 1)
        return false;
    const EGLint surface_attributes[] = {EGL_NONE};
    EGLSurface surface = eglCreateWindowSurface(
        display, config, static_cast<EGLNativeWindowType>(ctx->window), surface_attributes);
    if (surface == EGL_NO_SURFACE)
        return false;
    return finish_context(ctx, display, config, surface);
}

bool gl_context_create_pbuffer(GlContext* ctx, int width, int height)
{
    if (width <= 0 || height <= 0)
        return false;
    EGLDisplay display = EGL_NO_DISPLAY;
    if (has_client_extension("EGL_MESA_platform_surfaceless"))
        display = platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY)
        return false;
    EGLint major = 0;
    EGLint minor = 0;
    if (!eglInitialize(display, &major, &minor))
        return false;

    // Deeper configs sort first; take the first exact 8-8-8-8 one so that
    // read-backs give the bytes that were drawn.
    const EGLint config_attributes[] = {
        EGL_SURFACE_TYPE,
        EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE,
        EGL_OPENGL_ES2_BIT,
        EGL_RED_SIZE,
        8,
        EGL_GREEN_SIZE,
        8,
        EGL_BLUE_SIZE,
        8,
        EGL_ALPHA_SIZE,
        8,
        EGL_NONE,
    };
    EGLConfig configs[64];
    EGLint count = 0;
    EGLConfig config = nullptr;
    if (eglChooseConfig(display, config_attributes, configs, 64, &count)) {
        for (EGLint i = 0; i < count && !config; ++i) {
            EGLint r = 0, g = 0, b = 0, a = 0;
            eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
            eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
            eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &a);
            if (r == 8 && g == 8 && b == 8 && a == 8)
                config = configs[i];
        }
    }
    if (!config)
        return false;
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surface_attributes);
    if (surface == EGL_NO_SURFACE)
        return false;
    if (!finish_context(ctx, display, config, surface))
        return false;
    ctx->width = width;
    ctx->height = height;
    ctx->window = 0;
    return true;
}

void gl_context_destroy(GlContext* ctx)
{
    if (ctx->display != EGL_NO_DISPLAY && ctx->display != nullptr) {
        eglMakeCurrent(ctx->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (ctx->context != EGL_NO_CONTEXT)
            eglDestroyContext(ctx->display, ctx->context);
        if (ctx->surface != EGL_NO_SURFACE)
            eglDestroySurface(ctx->display, ctx->surface);
        eglReleaseThread();
    }
    *ctx = GlContext{};
}

GLuint shader_compile(GLenum type, const char* source)
{
    GLuint shader = glCreateShader(type);
    if (shader == 0)
        return 0;
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled)
        return shader;
    report_log(shader, false);
    glDeleteShader(shader);
    return 0;
}

GLuint program_build(const char* vertex_source, const char* fragment_source)
{
    GLuint vertex = shader_compile(GL_VERTEX_SHADER, vertex_source);
    if (vertex == 0)
        return 0;
    GLuint fragment = shader_compile(GL_FRAGMENT_SHADER, fragment_source);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    GLuint program = glCreateProgram();
    if (program != 0) {
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!linked) {
            report_log(program, true);
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

void gl_programs_init()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    glDisable(GL_SAMPLE_COVERAGE);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    // Rows are tightly packed: luminance planes of odd width have no padding.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    Programs& p = g_programs;
    p = Programs{0, -1, -1, 0, -1, -1, -1};
    p.quad = program_build(QUAD_VERTEX_SOURCE, QUAD_FRAGMENT_SOURCE);
    if (p.quad) {
        glUseProgram(p.quad);
        p.a_position = glGetAttribLocation(p.quad, "a_position");
        p.a_texcoord = glGetAttribLocation(p.quad, "a_texCoord");
    }
    p.yuv = program_build(YUV_VERTEX_SOURCE, YUV_FRAGMENT_SOURCE);
    if (p.yuv) {
        glUseProgram(p.yuv);
        glUniform1i(glGetUniformLocation(p.yuv, "y_tex"), 0);
        glUniform1i(glGetUniformLocation(p.yuv, "u_tex"), 1);
        glUniform1i(glGetUniformLocation(p.yuv, "v_tex"), 2);
        p.yuv2rgb = glGetUniformLocation(p.yuv, "yuv2rgb");
        glUniformMatrix3fv(p.yuv2rgb, 1, GL_FALSE, YUV2RGB);
        p.in_pos = glGetAttribLocation(p.yuv, "in_pos");
        p.in_tc = glGetAttribLocation(p.yuv, "in_tc");
    }
    std::memset(g_slots, 0, sizeof g_slots);
}

void gl_programs_free()
{
    for (TextureSlot& slot : g_slots) {
        if (slot.in_use)
            texture_slot_free(&slot);
    }
    glUseProgram(0);
    if (g_programs.quad)
        glDeleteProgram(g_programs.quad);
    if (g_programs.yuv)
        glDeleteProgram(g_programs.yuv);
    g_programs = Programs{0, -1, -1, 0, -1, -1, -1};
}

GLuint gl_quad_program()
{
    return g_programs.quad;
}
GLuint gl_yuv_program()
{
    return g_programs.yuv;
}

void texture_slot_create(TextureSlot** out, int bits_per_pixel, int width, int height, bool linear)
{
    *out = nullptr;
    TextureSlot* slot = nullptr;
    for (TextureSlot& candidate : g_slots) {
        if (!candidate.in_use) {
            slot = &candidate;
            break;
        }
    }
    if (!slot)
        return;
    const GLenum format = bits_per_pixel == 32 ? GL_RGBA : GL_LUMINANCE;
    slot->in_use = 1;
    slot->luminance = format == GL_LUMINANCE;
    slot->linear = linear;
    slot->width = width;
    slot->height = height;
    glGenTextures(1, &slot->texture);
    glBindTexture(GL_TEXTURE_2D, slot->texture);
    set_texture_parameters(linear ? GL_LINEAR : GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
                 GL_UNSIGNED_BYTE, nullptr);
    std::memcpy(slot->positions, DEFAULT_POSITIONS, sizeof slot->positions);
    std::memcpy(slot->texcoords, DEFAULT_TEXCOORDS, sizeof slot->texcoords);
    *out = slot;
}

void texture_slot_free(TextureSlot* slot)
{
    if (!slot)
        return;
    // The name is forgotten with the texture: GL hands freed names out again,
    // so a second free must not delete another slot's texture.
    if (slot->texture)
        glDeleteTextures(1, &slot->texture);
    slot->texture = 0;
    slot->in_use = 0;
}

void texture_slot_draw(TextureSlot* slot, const void* pixels, int row_offset, int width, int height,
                       bool upload, bool draw, bool present, bool clear)
{
    if (!slot)
        return;
    if (clear)
        glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(g_programs.quad);
    glActiveTexture(GL_TEXTURE0);
    const GLenum format = slot_format(slot);
    if (slot->linear) {
        if (upload) {
            // A new texture each time: the frame size may change between calls.
            glDeleteTextures(1, &slot->texture);
            glGenTextures(1, &slot->texture);
            glBindTexture(GL_TEXTURE_2D, slot->texture);
            set_texture_parameters(GL_LINEAR);
            set_quad_attributes(slot, g_programs.a_position, g_programs.a_texcoord);
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
                         GL_UNSIGNED_BYTE, pixels);
            slot->width = width;
            slot->height = height;
        }
    } else {
        glBindTexture(GL_TEXTURE_2D, slot->texture);
        set_quad_attributes(slot, g_programs.a_position, g_programs.a_texcoord);
        if (upload)
            upload_rows(slot, format, pixels, row_offset, width, height);
    }
    if (draw)
        draw_quad();
    if (present)
        gl_present();
}

void texture_slot_draw_strip(TextureSlot* slot, const void* pixels, int width, int height,
                             bool upload)
{
    if (!slot)
        return;
    glUseProgram(g_programs.quad);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, slot->texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    set_quad_attributes(slot, g_programs.a_position, g_programs.a_texcoord);
    if (upload) {
        const GLenum format = slot_format(slot);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
                     GL_UNSIGNED_BYTE, pixels);
        slot->width = width;
        slot->height = height;
    }
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void yuv_planes_draw(TextureSlot* y, TextureSlot* u, TextureSlot* v, const void* y_pixels,
                     const void* u_pixels, const void* v_pixels, int width, int height)
{
    if (!y || !u || !v)
        return;
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(g_programs.yuv);
    set_quad_attributes(y, g_programs.in_pos, g_programs.in_tc);
    upload_plane(GL_TEXTURE0, y, y_pixels, width, height);
    upload_plane(GL_TEXTURE1, u, u_pixels, width / 2, height / 2);
    upload_plane(GL_TEXTURE2, v, v_pixels, width / 2, height / 2);
    draw_quad();
    glActiveTexture(GL_TEXTURE0);
}

void texture_slot_set_geometry(TextureSlot* slot, int orientation, int x, int y, int screen_w,
                               int screen_h, int w, int h)
{
    if (!slot || screen_w <= 0 || screen_h <= 0)
        return;
    const float W = static_cast<float>(screen_w);
    const float H = static_cast<float>(screen_h);
    float xa, ya, xb, yb;
    float* p = slot->positions;
    switch (orientation) {
    case ORIENTATION_UPRIGHT:
    case ORIENTATION_HALF: {
        const float sign = orientation == ORIENTATION_UPRIGHT ? 1.0f : -1.0f;
        xa = sign * (2.0f * x / W - 1.0f);
        ya = sign * (1.0f - 2.0f * y / H);
        xb = xa + sign * 2.0f * w / W;
        yb = ya - sign * 2.0f * h / H;
        const float v[8] = {xa, ya, xa, yb, xb, ya, xb, yb};
        std::memcpy(p, v, sizeof v);
        return;
    }
    case ORIENTATION_QUARTER:
    case ORIENTATION_THREE_QUARTERS: {
        const float sign = orientation == ORIENTATION_QUARTER ? 1.0f : -1.0f;
        xa = sign * (2.0f * y / W - 1.0f);
        ya = sign * (2.0f * x / H - 1.0f);
        xb = xa + sign * 2.0f * h / W;
        yb = ya + sign * 2.0f * w / H;
        const float v[8] = {xa, ya, xb, ya, xa, yb, xb, yb};
        std::memcpy(p, v, sizeof v);
        return;
    }
    default: return;
    }
}

void gl_present()
{
    eglSwapBuffers(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW));
}

void gl_clear_both_buffers()
{
    GLfloat previous[4] = {0, 0, 0, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, previous);
    glClearColor(0, 0, 0, 0);
    for (int i = 0; i < 2; ++i) {
        glClear(GL_COLOR_BUFFER_BIT);
        gl_present();
    }
    glClearColor(previous[0], previous[1], previous[2], previous[3]);
}
