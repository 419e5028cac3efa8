/*
 * ScriptedControl.h - the controls of the scripted test transport.
 *
 * The scripted transport is a libCorvane.so-compatible library for the tests
 * only. The device link loads it like any transport; a test loads the same
 * file too (dlopen of the same file gives the same instance) and drives it
 * through these functions: it decides block boundaries and contents, makes
 * the open calls or a read fail, pulls the "probe", and reads back every call
 * the link made. Variants of the library leave one entry point out each.
 */
#ifndef KS_SCRIPTED_CONTROL_H
#define KS_SCRIPTED_CONTROL_H

#ifdef __cplusplus
extern "C" {
#endif

#define SCRIPTED_DEVICE 7           /* handle USB_Open_mask returns */
#define SCRIPTED_MAX_BLOCK 2048     /* largest block Scripted_Send takes */
#define SCRIPTED_DEFAULT_RESULT (-100)

typedef struct ScriptedVendorCall {
    int device, directionIn, type, request, value, index, length;
    int hadBuffer;                  /* a buffer pointer was passed */
    unsigned char data[64];         /* its first bytes, as passed (data sent to the probe) */
} ScriptedVendorCall;

typedef struct ScriptedCounts {
    int openMask, close, openPipe, vendorRequest, open;
    int openMaskArgs[6];            /* of the last USB_Open_mask */
    int openPipeArgs[3];            /* of the last USB_OpenPipe */
    int lastCloseDevice;            /* argument of the last USB_Close */
} ScriptedCounts;

typedef void (*Scripted_Reset_fn)(void);
typedef void (*Scripted_FailOpenMask_fn)(int fail);
typedef void (*Scripted_FailOpenPipe_fn)(int fail);
typedef void (*Scripted_SetRequestResult_fn)(int request, int result);
typedef void (*Scripted_SetFirmware_fn)(const char *text);
typedef int (*Scripted_Send_fn)(const void *data, int length);
typedef int (*Scripted_WaitConsumed_fn)(int timeoutMs);
typedef void (*Scripted_Unplug_fn)(void);
typedef int (*Scripted_FailRead_fn)(void);
typedef int (*Scripted_VendorCalls_fn)(ScriptedVendorCall *out, int max);
typedef void (*Scripted_GetCounts_fn)(ScriptedCounts *out);

/* Closes the pipe and clears the log and every failure switch. */
void Scripted_Reset(void);
/* USB_Open_mask / USB_OpenPipe return -1 while set. */
void Scripted_FailOpenMask(int fail);
void Scripted_FailOpenPipe(int fail);
/* What USB_VendorRequest returns for a request (SCRIPTED_DEFAULT_RESULT:
 * 1, or the firmware text's length for request 0). */
void Scripted_SetRequestResult(int request, int result);
void Scripted_SetFirmware(const char *text);
/* One block, 1..SCRIPTED_MAX_BLOCK bytes, that the link reads in one read.
 * Returns 1, or 0 when no pipe is open or the block is refused. */
int Scripted_Send(const void *data, int length);
/* Waits until the link has read every block sent; 1 on success. */
int Scripted_WaitConsumed(int timeoutMs);
/* The probe is pulled out: the link reads end of file. */
void Scripted_Unplug(void);
/* The link's next read fails with an error (connection reset); 1 if armed. */
int Scripted_FailRead(void);
/* Copies up to max logged vendor requests; returns how many there are. */
int Scripted_VendorCalls(ScriptedVendorCall *out, int max);
void Scripted_GetCounts(ScriptedCounts *out);

#ifdef __cplusplus
}
#endif

#endif /* KS_SCRIPTED_CONTROL_H */
