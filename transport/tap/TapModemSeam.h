/*
 * TapModemSeam.h - the tap transport's one extra export, for tests.
 *
 * The tap watches the adapters' modem-status inputs with three ioctls
 * (TIOCMIWAIT, TIOCMGET, TIOCGICOUNT). Pseudo-terminals, which stand in for
 * the adapters in the tests, support none of them, so a test can put its own
 * functions in their place before the device is opened. They are called
 * from the tap's own threads. The program never calls KsTap_SetModemIo.
 */
#ifndef KS_TAP_MODEM_SEAM_H
#define KS_TAP_MODEM_SEAM_H

#ifdef __cplusplus
extern "C" {
#endif

/* The counters of TIOCGICOUNT the tap uses. */
typedef struct KsTapCounts {
    int cts, dsr, rng, dcd;
    int frame, parity, brk, overrun, bufOverrun;
} KsTapCounts;

/*
 * Each returns 0 on success, or -1 with errno set as the ioctl would:
 *  wait:   blocks until one of the inputs in `tiocmMask` (TIOCM_CTS, TIOCM_DSR,
 *          TIOCM_CD, TIOCM_RI) changes; EINTR when interrupted (it must come
 *          back within a few milliseconds when nothing changes, or when the
 *          tap's thread is signalled); EINVAL/ENOTTY when not supported; EIO
 *          when the device is gone.
 *  lines:  the present TIOCM_ bits.
 *  counts: the interrupt counters.
 */
typedef struct KsTapModemIo {
    void *context;
    int (*wait)(void *context, int fd, int tiocmMask);
    int (*lines)(void *context, int fd, int *tiocm);
    int (*counts)(void *context, int fd, KsTapCounts *counts);
} KsTapModemIo;

/* NULL restores the ioctls. Takes effect at the next USB_OpenPipe. */
void KsTap_SetModemIo(const KsTapModemIo *io);
typedef void (*KsTap_SetModemIo_fn)(const KsTapModemIo *);

#ifdef __cplusplus
}
#endif

#endif /* KS_TAP_MODEM_SEAM_H */
