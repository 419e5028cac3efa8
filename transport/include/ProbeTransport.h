/*
 * ProbeTransport.h - what every probe transport library exports.
 *
 * Kestrane talks to the probe through a small shared library, libCorvane.so,
 * which it loads from its own program directory (an absolute path; the bare
 * name is never searched for) when the device link opens, and unloads when the
 * link closes. Any library that exports the five functions below with C
 * linkage and keeps the promises written here is a drop-in transport: the
 * simulated probe (transport/sim), a USB transport for the real probe, a tap
 * built from two serial ports, and so on. Nothing else of the program is
 * linked into a transport, and a transport must not rely on anything of the
 * program either.
 *
 * Threads. The program calls USB_Open_mask, USB_OpenPipe, USB_VendorRequest
 * and USB_Close from one thread at a time (its UI thread, or the main thread
 * of a command-line tool). The pipe descriptor is read from another thread.
 * A transport that runs threads of its own (a generator, a USB event loop)
 * starts them in USB_Open_mask or USB_OpenPipe and ends them in USB_Close.
 *
 * Order of calls while the program runs:
 *
 *     dev  = USB_Open_mask(12, 0, 0, 4373, 16, 0);  -1: no probe, the link gives up
 *     pipe = USB_OpenPipe(dev, 0, 0);               -1: the link reports and gives up
 *     USB_VendorRequest(dev, 0, 1, 3, 0, 0, 8, block);    set line parameters
 *     USB_VendorRequest(dev, 1, 1, 0, 3, 0, 64, text);    firmware version text
 *     USB_VendorRequest(dev, 1, 1, 1, 0, 0, 0, NULL);     start streaming
 *     ... records arrive on pipe ...
 *     USB_VendorRequest(dev, 1, 1, 2, 0, 0, 0, NULL);     stop streaming
 *     close(pipe);                                  the program closes the descriptor
 *     USB_Close(dev);
 *
 * USB_Close is also called with -1 when USB_Open_mask failed: return 0 then and
 * do nothing. USB_Close may follow a close() of the pipe, and the program may
 * call USB_Open_mask again later (a new link for every open).
 */
#ifndef KS_PROBE_TRANSPORT_H
#define KS_PROBE_TRANSPORT_H

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Opens the probe. The program passes (12, 0, 0, 4373, 16, 0): the fourth and
 * fifth arguments are the probe's USB vendor and product numbers, the others
 * are fixed values a transport may ignore. Returns a device handle (any value
 * other than -1 and 0), or -1 when no such probe is attached or it cannot be
 * opened. Only one open device at a time is required.
 */
int USB_Open_mask(int a, int b, int c, int vendor, int product, int d);

/* Closes the device opened by USB_Open_mask; -1 or an unknown handle: no-op.
 * Returns nonzero when a device was closed. */
int USB_Close(int device);

/*
 * Opens the probe's input pipe; the program passes (device, 0, 0). Returns a
 * readable file descriptor, or -1 on failure. The program owns the descriptor
 * from then on: it poll()s it for POLLIN (together with its own exit event,
 * waking at least every 500 ms), read()s it up to 2048 bytes at a time, and
 * close()s it before USB_Close.
 *
 * What the reader relies on:
 *  - Every read() returns whole two-byte records (see the record layout in the
 *    program's DeviceRecord.h): a byte count that is a multiple of two. With a
 *    pipe this holds when the writer only ever writes even byte counts of at
 *    most PIPE_BUF bytes at once (each such write is atomic).
 *  - Records appear in the order the probe observed them. Streaming happens
 *    only between the start and stop requests; outside them the pipe is quiet
 *    but stays open.
 *  - End of file (read() returning 0) or a read error means the probe is gone
 *    (pulled out, powered off, failed). The program then reports the loss to
 *    the user once and stops reading; it never reads that descriptor again.
 *    A transport that loses its probe should therefore close its write end.
 *  - EINTR and EAGAIN are retried; the descriptor may be blocking or not.
 *  - The transport must keep writing without the program's help: a slow
 *    reader must not stall the transport's own threads (use a large pipe and
 *    non-blocking writes, and decide yourself what happens to data the reader
 *    has not taken).
 */
int USB_OpenPipe(int device, int a, int b);

/*
 * One control request to the probe. directionIn is 1 for requests that read
 * from the probe (and for start and stop, which carry no data), 0 for the one
 * request that sends data to it; type is always 1 (vendor request).
 *
 *   request value index length buffer        meaning
 *   0       3     0     64     out: text     firmware version: a zero-terminated
 *                                            text of at most 64 bytes whose first
 *                                            33 characters suit a status bar,
 *                                            e.g. "Firmware Version: V3.0 SIM"
 *   1       0     0     0      NULL          start streaming records
 *   2       0     0     0      NULL          stop streaming records
 *   3       0     0     8      in: block     set line parameters (below)
 *
 * Returns 0 on failure and nonzero on success; for a request that reads from
 * the probe into a buffer (directionIn 1 with a buffer) the number of bytes
 * placed in the buffer, never more than length.
 *
 * The 8-byte parameter block of request 3:
 *   byte 0  baud-rate index 0..18: 50 100 110 150 200 300 600 1200 2400 4800
 *           9600 14400 19200 28800 38400 57600 76800 115200 230400
 *   byte 1  1 = 7 data bits, 0 = 8 data bits
 *   byte 2  0 = 1 stop bit, 1 = 2 stop bits
 *   byte 3  parity: 0 none, 3 odd, 2 even
 *   byte 4  options: bit 0 report framing and parity errors, bit 1 report
 *           control-line changes, bit 2 send time ticks; bits 3..7 zero
 *   bytes 5..7 zero
 * A transport may refuse a block it cannot honour by returning 0.
 */
int USB_VendorRequest(int device, int directionIn, int type, int request,
                      int value, int index, int length, void *buffer);

/* Looked up by the program but never called; may be absent. Transports that
 * export it should return -1. */
int USB_Open(void);

/* Values the program passes. */
#define KS_PROBE_VENDOR 4373
#define KS_PROBE_PRODUCT 16
#define KS_PROBE_READ_SIZE 2048
#define KS_PROBE_REQUEST_FIRMWARE 0
#define KS_PROBE_REQUEST_START 1
#define KS_PROBE_REQUEST_STOP 2
#define KS_PROBE_REQUEST_PARAMETERS 3
#define KS_PROBE_FIRMWARE_VALUE 3
#define KS_PROBE_FIRMWARE_LENGTH 64
#define KS_PROBE_PARAMETER_LENGTH 8

/* Function pointer types for the program's dynamic look-up. */
typedef int (*USB_Open_mask_fn)(int, int, int, int, int, int);
typedef int (*USB_Close_fn)(int);
typedef int (*USB_OpenPipe_fn)(int, int, int);
typedef int (*USB_VendorRequest_fn)(int, int, int, int, int, int, int, void *);
typedef int (*USB_Open_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* KS_PROBE_TRANSPORT_H */
