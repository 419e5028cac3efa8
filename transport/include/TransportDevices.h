/* An optional export of a probe transport, beside the five of
 * ProbeTransport.h: the device nodes the transport is made of (the serial
 * tap's two ports, for example), so that the program can watch them being
 * plugged and pulled as it watches the probe's own USB device. A transport
 * without such nodes leaves it out; the program looks it up and carries on
 * without it.
 *
 * Writes the paths (device nodes or udev links such as /dev/serial/by-id/...)
 * separated by '\n' and terminated by a zero byte into `buffer`, and returns
 * their length without the zero byte: 0 for none, -1 when `size` is too
 * small (the buffer then holds nothing usable). */
#ifndef KS_TRANSPORT_DEVICES_H
#define KS_TRANSPORT_DEVICES_H

#ifdef __cplusplus
extern "C" {
#endif

int Transport_DeviceNodes(char *buffer, int size);
typedef int (*Transport_DeviceNodes_fn)(char *, int);

#ifdef __cplusplus
}
#endif

#endif /* KS_TRANSPORT_DEVICES_H */
