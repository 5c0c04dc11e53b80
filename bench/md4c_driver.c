/* md4c in-process driver for bench/md_compare.py: a tiny shared library, built at run time
 * against Debian's md4c packages and called through ctypes:
 *   cc -O2 -shared -fPIC md4c_driver.c -o md4c_driver.so -lmd4c-html -lmd4c
 * md4c_convert() turns md (UTF-8) into HTML with md4c's CommonMark dialect, md4c_convert_github()
 * with its GitHub dialect (tables, strikethrough, task lists, bare links: closer to the constructs
 * md2vedavi reads), collecting the HTML in one buffer grown by doubling (the caller frees it with
 * md4c_release), so the conversion does no I/O, as with the other in-process processors of the
 * comparison. */

#include <md4c-html.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    char* data;
    size_t size;
    size_t capacity;
    int failed;
} Buffer;

static int reserve(Buffer* buf, size_t extra) {
    if (buf->capacity - buf->size >= extra) return 1;
    size_t capacity = buf->capacity ? buf->capacity : 4096;
    while (capacity - buf->size < extra) capacity *= 2;
    char* data = realloc(buf->data, capacity);
    if (!data) return 0;
    buf->data = data;
    buf->capacity = capacity;
    return 1;
}

static void append(const MD_CHAR* text, MD_SIZE size, void* userdata) {
    Buffer* buf = userdata;
    if (buf->failed) return;
    if (!reserve(buf, size)) {
        buf->failed = 1;
        return;
    }
    memcpy(buf->data + buf->size, text, size);
    buf->size += size;
}

static long convert(const char* input, size_t size, unsigned dialect, char** out) {
    Buffer output = {0};
    *out = NULL;
    if (!reserve(&output, size + size / 4 + 1)) return -1;
    if (md_html(input, (MD_SIZE)size, append, &output, dialect, 0) != 0 || output.failed) {
        free(output.data);
        return -1;
    }
    *out = output.data;
    return (long)output.size;
}

/* The HTML of `input` in *out (to be released with md4c_release); its size, or -1 on failure. */
long md4c_convert(const char* input, size_t size, char** out) {
    return convert(input, size, MD_DIALECT_COMMONMARK, out);
}

long md4c_convert_github(const char* input, size_t size, char** out) {
    return convert(input, size, MD_DIALECT_GITHUB, out);
}

void md4c_release(char* data) { free(data); }
