/* The reader library in a few lines: waits for a whole frame (at once when one is there that this reader has not
 * read), prints its size and the colour of its top-left pixel. Plain C89; links tarn_camera_reader. */
#include <stdio.h>
#include <stdlib.h>

#include "tarn_camera_channel.h"

int main(void)
{
    TarnCameraReader* reader = NULL;
    TarnCameraFrameInfo info;
    unsigned char* pixels = (unsigned char*)malloc(TARN_CAMERA_FRAME_BLOCK_SIZE);
    TarnCameraResult result = tarn_camera_reader_open(NULL, &reader);
    if (result == TARN_CAMERA_OK) {
        result = tarn_camera_reader_wait(reader, 2000);
        if (result == TARN_CAMERA_NO_SYNC_BLOCK) /* an older publisher: read the frame as it stands */
            result = TARN_CAMERA_OK;
    }
    if (result == TARN_CAMERA_OK)
        result = tarn_camera_reader_read(reader, pixels, TARN_CAMERA_FRAME_BLOCK_SIZE, &info);
    if (result == TARN_CAMERA_OK) { /* rows are stored bottom-up: the top row is the last one */
        const unsigned char* topLeft = pixels + (size_t)(info.height - 1) * (size_t)info.width * 3;
        printf("%d x %d, top-left pixel B %u G %u R %u\n", info.width, info.height, topLeft[0], topLeft[1], topLeft[2]);
    } else {
        fprintf(stderr, "%s\n", tarn_camera_result_message(result));
    }
    tarn_camera_reader_close(reader);
    free(pixels);
    return result == TARN_CAMERA_OK ? 0 : 1;
}
