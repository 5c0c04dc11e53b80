/* md4c driver for bench/md_compare.py: converts one md file to HTML with md4c's CommonMark
 * dialect and writes the HTML to standard output. Built at run time by md_compare.py against
 * Debian's md4c packages:
 *   cc -O2 md4c_driver.c -o md4c_driver -lmd4c-html -lmd4c
 * The whole file is read before converting and the HTML is collected in one buffer, so the
 * conversion itself does no I/O, as with the in-process processors of the comparison. */

#include <md4c-html.h>
#include <stdio.h>
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

static int read_file(const char* path, Buffer* buf) {
    FILE* file = fopen(path, "rb");
    if (!file) return 0;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (!reserve(buf, n)) {
            fclose(file);
            return 0;
        }
        memcpy(buf->data + buf->size, chunk, n);
        buf->size += n;
    }
    int ok = !ferror(file);
    fclose(file);
    return ok;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.md\n", argv[0]);
        return 2;
    }
    Buffer input = {0};
    if (!read_file(argv[1], &input)) {
        perror(argv[1]);
        return 1;
    }
    Buffer output = {0};
    reserve(&output, input.size + input.size / 4 + 1);
    if (md_html(input.data, (MD_SIZE)input.size, append, &output, MD_DIALECT_COMMONMARK, 0) != 0 ||
        output.failed) {
        fprintf(stderr, "md4c failed on %s\n", argv[1]);
        return 1;
    }
    int ok = fwrite(output.data, 1, output.size, stdout) == output.size;
    free(input.data);
    free(output.data);
    return ok ? 0 : 1;
}
