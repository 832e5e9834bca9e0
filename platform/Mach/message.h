// Mach messages over Unix-domain sockets.
//
// A port is a SOCK_SEQPACKET socket pair: the receive right is one end (plus, for a service
// port, the listening socket of its bootstrap name and the connections accepted on it), and
// a send right is a descriptor of the other end (or of a connection to the bootstrap name).
// A message is one packet: the caller's bytes, unchanged but for the port names, with the
// rights it carries passed as descriptors (SCM_RIGHTS). A make-send-once right is a fresh
// socket pair whose receiving end joins the port's receive set; when the holder of the
// send-once right drops it unused, the port receives a send-once notification (id 71).
//
// The receiver checks every packet before it becomes a message: the header, the
// descriptor count against the size, that each descriptor is a port descriptor, and that
// the descriptors that arrived are exactly those the message names (AF_UNIX SEQPACKET
// sockets for ports, regular files for memory entries). A packet that fails is destroyed
// with its descriptors and never reaches the caller. The received header's size is the
// packet's real size; its remote port is the reply right, its local port the receiving port.
//
// Only port descriptors are carried (no out-of-line memory) and receive rights do not
// travel. Messages are at most MACH_MSG_SIZE_MAX bytes with at most MACH_MSG_PORTS_MAX
// descriptors. Only processes of the same user can reach a port: bootstrap names live in
// the user's private runtime folder and every connection's peer credentials are checked.
#pragma once

#include <stdint.h>

#include <Mach/kern_return.h>
#include <Mach/port.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t mach_msg_bits_t;
typedef uint32_t mach_msg_size_t;
typedef int32_t mach_msg_id_t;
typedef int32_t mach_msg_option_t;
typedef uint32_t mach_msg_timeout_t;  // milliseconds
typedef uint32_t mach_msg_type_name_t;
typedef uint32_t mach_msg_descriptor_type_t;
typedef uint32_t mach_msg_type_number_t;
typedef kern_return_t mach_msg_return_t;

typedef struct {
    mach_msg_bits_t msgh_bits;
    mach_msg_size_t msgh_size;
    mach_port_t msgh_remote_port;
    mach_port_t msgh_local_port;
    mach_port_name_t msgh_voucher_port;
    mach_msg_id_t msgh_id;
} mach_msg_header_t;

typedef struct {
    mach_msg_size_t msgh_descriptor_count;
} mach_msg_body_t;

#pragma pack(push, 4)
typedef struct {
    mach_port_t name;
    mach_msg_size_t pad1;
    unsigned int pad2 : 16;
    mach_msg_type_name_t disposition : 8;
    mach_msg_descriptor_type_t type : 8;
} mach_msg_port_descriptor_t;
#pragma pack(pop)

typedef struct {
    unsigned char mig_vers;
    unsigned char if_vers;
    unsigned char reserved1;
    unsigned char mig_encoding;
    unsigned char int_rep;
    unsigned char char_rep;
    unsigned char float_rep;
    unsigned char reserved2;
} NDR_record_t;

// This machine's NDR record (integers little-endian: int_rep 1).
extern const NDR_record_t NDR_record;

#define MACH_MSG_TYPE_PORT_NONE 0
#define MACH_MSG_TYPE_MOVE_RECEIVE 16
#define MACH_MSG_TYPE_MOVE_SEND 17
#define MACH_MSG_TYPE_MOVE_SEND_ONCE 18
#define MACH_MSG_TYPE_COPY_SEND 19
#define MACH_MSG_TYPE_MAKE_SEND 20
#define MACH_MSG_TYPE_MAKE_SEND_ONCE 21
#define MACH_MSG_TYPE_PORT_RECEIVE MACH_MSG_TYPE_MOVE_RECEIVE
#define MACH_MSG_TYPE_PORT_SEND MACH_MSG_TYPE_MOVE_SEND
#define MACH_MSG_TYPE_PORT_SEND_ONCE MACH_MSG_TYPE_MOVE_SEND_ONCE

#define MACH_MSG_PORT_DESCRIPTOR 0

#define MACH_MSGH_BITS_COMPLEX 0x80000000u
#define MACH_MSGH_BITS(remote, local) ((remote) | ((local) << 8))
#define MACH_MSGH_BITS_REMOTE(bits) ((bits) & 0x1fu)
#define MACH_MSGH_BITS_LOCAL(bits) (((bits) >> 8) & 0x1fu)

#define MACH_MSG_OPTION_NONE 0
#define MACH_SEND_MSG 0x00000001
#define MACH_RCV_MSG 0x00000002
#define MACH_SEND_TIMEOUT 0x00000010
#define MACH_RCV_TIMEOUT 0x00000100
#define MACH_MSG_TIMEOUT_NONE 0

#define MACH_MSG_SUCCESS 0x00000000
#define MACH_SEND_INVALID_DATA 0x10000002
#define MACH_SEND_INVALID_DEST 0x10000003
#define MACH_SEND_TIMED_OUT 0x10000004
#define MACH_SEND_MSG_TOO_SMALL 0x10000008
#define MACH_SEND_INVALID_REPLY 0x10000009
#define MACH_SEND_INVALID_RIGHT 0x1000000a
#define MACH_SEND_NO_BUFFER 0x1000000d
#define MACH_SEND_TOO_LARGE 0x1000000e
#define MACH_SEND_INVALID_TYPE 0x1000000f
#define MACH_SEND_INVALID_HEADER 0x10000010
#define MACH_RCV_INVALID_NAME 0x10004002
#define MACH_RCV_TIMED_OUT 0x10004003
#define MACH_RCV_TOO_LARGE 0x10004004
#define MACH_RCV_INVALID_DATA 0x10004008
#define MACH_RCV_PORT_DIED 0x10004009

// Notification ids.
#define MACH_NOTIFY_SEND_ONCE 71
#define MACH_NOTIFY_DEAD_NAME 72

// Return codes of Mach Interface Generator code.
#define MIG_TYPE_ERROR -300
#define MIG_REPLY_MISMATCH -301
#define MIG_BAD_ID -303
#define MIG_BAD_ARGUMENTS -304
#define MIG_SERVER_DIED -308

#define MACH_MSG_SIZE_MAX 65536u
#define MACH_MSG_PORTS_MAX 32u

// Sends (MACH_SEND_MSG) the message of send_size bytes, then receives (MACH_RCV_MSG) into
// msg, at most rcv_size bytes, on rcv_name. With MACH_SEND_TIMEOUT a send that would wait
// longer than timeout milliseconds (0: any wait) answers MACH_SEND_TIMED_OUT; with
// MACH_RCV_TIMEOUT so does a receive (MACH_RCV_TIMED_OUT). Without them either waits for
// ever. A destination whose receiver is gone answers MACH_SEND_INVALID_DEST and becomes a
// dead name. A message larger than rcv_size is destroyed (MACH_RCV_TOO_LARGE). notify is
// not used. Rights named with a move disposition are consumed only by a successful send.
mach_msg_return_t mach_msg(mach_msg_header_t *msg, mach_msg_option_t option, mach_msg_size_t send_size,
                           mach_msg_size_t rcv_size, mach_port_name_t rcv_name, mach_msg_timeout_t timeout,
                           mach_port_name_t notify);

// Gives up every right a received message holds: its reply right and the rights of its
// port descriptors (null names are skipped).
void mach_msg_destroy(mach_msg_header_t *msg);

// The calling thread's cached reply port (a receive right), made on first use.
mach_port_t mig_get_reply_port(void);
// Destroys the calling thread's reply port (after a failed exchange whose reply may still
// come); the next mig_get_reply_port makes a new one.
void mig_dealloc_reply_port(mach_port_t reply_port);
// Gives the reply port back to the thread's cache (nothing to do here).
void mig_put_reply_port(mach_port_t reply_port);

#ifdef __cplusplus
}
#endif
