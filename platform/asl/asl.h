// A system log client in the Apple System Log style, built on syslog(3).
//
// Each message goes to syslog with the client's ident (openlog(ident, LOG_PID, LOG_USER))
// at the syslog priority of its level (ASL_LEVEL_EMERG..ASL_LEVEL_DEBUG are LOG_EMERG..
// LOG_DEBUG). A client opened with ASL_OPT_STDERR also writes every message to standard
// error, as one line:
//
//     ident[pid] <Level>: message
//
// where Level is Emergency, Alert, Critical, Error, Warning, Notice, Info or Debug.
// Trailing newlines of the message are dropped and exactly one is written. The facility
// is kept for the caller's information only: syslog receives every message as LOG_USER.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct __aslclient *aslclient;
// Message objects are not provided; pass NULL wherever a message is asked for.
typedef struct __aslmsg *aslmsg;

#define ASL_LEVEL_EMERG 0
#define ASL_LEVEL_ALERT 1
#define ASL_LEVEL_CRIT 2
#define ASL_LEVEL_ERR 3
#define ASL_LEVEL_WARNING 4
#define ASL_LEVEL_NOTICE 5
#define ASL_LEVEL_INFO 6
#define ASL_LEVEL_DEBUG 7

#define ASL_OPT_STDERR 0x00000001u

// Opens a client. A null ident stands for the program's name, a null facility for "user".
// Answers null only when memory runs out.
aslclient asl_open(const char *ident, const char *facility, uint32_t opts);

// Closes a client opened by asl_open; null is ignored.
void asl_close(aslclient client);

// Formats with the printf rules and logs at the level. A null client logs with the
// program's name and no copy to standard error. Levels below 0 count as ASL_LEVEL_EMERG,
// above 7 as ASL_LEVEL_DEBUG. The message object is ignored. Answers 0, or -1 for a null
// format or a format that cannot be formatted.
int asl_log(aslclient client, aslmsg msg, int level, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

#ifdef __cplusplus
}
#endif
