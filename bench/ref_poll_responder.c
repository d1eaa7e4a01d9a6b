/* The reference limit for the responder bench: the smallest poll loop in plain C. It opens the
 * port raw, blocks in read(), assembles 4-byte polls from every byte it gets, and writes the
 * 9-byte reply to each poll whose CRC-8 is right. Usage: ref_poll_responder --port PATH */

#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

/* Dallas/Maxim 1-Wire CRC-8: reflected polynomial 0x8C, initial value 0, no final XOR. */
static unsigned char crc8(const unsigned char *p, int n)
{
    unsigned char crc = 0;
    for (int i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? (unsigned char)((crc >> 1) ^ 0x8C) : (unsigned char)(crc >> 1);
    }
    return crc;
}

int main(int argc, char **argv)
{
    if (argc != 3 || strcmp(argv[1], "--port") != 0) {
        fprintf(stderr, "usage: %s --port PATH\n", argv[0]);
        return 2;
    }
    int fd = open(argv[2], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror(argv[2]);
        return 1;
    }
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        tcsetattr(fd, TCSANOW, &tio);
    }

    unsigned char frame[4];
    int have = 0;
    unsigned char buf[256];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (have == 0 && buf[i] != 0x31)
                continue;
            frame[have++] = buf[i];
            if (have < 4)
                continue;
            have = 0;
            if (crc8(frame, 3) != frame[3])
                continue;
            const unsigned char a = frame[1];
            unsigned char reply[9] = {0x3E, a, 0x06, a, a, 0x00, a, 0x00, 0};
            reply[8] = crc8(reply, 8);
            if (write(fd, reply, sizeof reply) != (ssize_t)sizeof reply)
                return 1;
        }
    }
}
