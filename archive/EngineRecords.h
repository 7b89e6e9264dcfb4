/* Command and callback records passed between the archive component and the engine libraries. */
#ifndef KORVEL_ARCHIVE_ENGINERECORDS_H
#define KORVEL_ARCHIVE_ENGINERECORDS_H

/*
 * Plain C so that either side may be built by any compiler. The byte layout is fixed for 32-bit
 * builds (little-endian, 4-byte pointers) and checked below; on 64-bit builds pointers widen and
 * the fields take their natural alignment. Every string is a NUL-terminated 8-bit string the
 * component owns for the length of one run. Flags are 32-bit, -1 for on and 0 for off, unless a
 * field says otherwise. The component zero-fills a record before filling it, so every field it
 * does not mention is 0.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of the entry points and of the callback. */
#if defined(_WIN32) && !defined(_WIN64)
#define KORVEL_RECORD_CALL __stdcall
#else
#define KORVEL_RECORD_CALL
#endif

/* The constant at offset 8 and 196 of the packing record: the record format's version. */
#define KORVEL_ENGINE_VERSION 200
/* The constant closing both command records; an engine refuses a record without it. */
#define KORVEL_RECORD_RECORD_MARK 7
/* Bytes of the callback's text area: from offset 28 up to the pointer at offset 532. */
#define KORVEL_CALLBACK_TEXT_SIZE 504
/* Bytes of the callback's text area before the file comment of a comment question. */
#define KORVEL_CALLBACK_NAME_SIZE 256
/* Bytes kept for the file comment of a comment question (offset 284 up to 532). */
#define KORVEL_CALLBACK_COMMENT_SIZE 248

typedef struct EngineCallbackRecord EngineCallbackRecord;

/*
 * The record's callback. Returns 0 to go on, 1 to cancel the run, 10106 when an event handler of
 * the component raised an exception (the engine stops then too).
 */
typedef int32_t(KORVEL_RECORD_CALL* EngineCallbackFn)(EngineCallbackRecord* record);

/* One unpacking file pattern: 72 bytes on 32-bit builds. */
typedef struct UnpackFileSpec {
  const char* FileSpec; /*  0: entry name or wildcard pattern */
  int32_t Reserved[17]; /*  4 */
} UnpackFileSpec;

/* One packing file pattern: 104 bytes on 32-bit builds. */
typedef struct PackFileSpec {
  const char* FileSpec;   /*  0: file name or wildcard pattern below the root, or 0 when empty */
  int32_t Reserved4[2];   /*  4 */
  const char* Password;   /* 12: this entry's password, or 0 */
  int32_t Encrypt;        /* 16: record's flag, 0xFFFF for a per-line password, 0 for unencrypted */
  uint16_t Recurse;       /* 20: 0xFFFF or 0 */
  uint16_t Reserved22;    /* 22 */
  int32_t Reserved24[20]; /* 24; offset 36 is always 0 */
} PackFileSpec;

/* Unpacking command record, passed to UnpackExec: 148 bytes on 32-bit builds. */
typedef struct UnpackCommandRecord {
  void* Handle;              /*   0: window for the engine's own dialogs, 0 when unattended */
  void* Caller;              /*   4: handed back in every callback record */
  int32_t Version;           /*   8: what GetUnpackVersion returned at load time */
  EngineCallbackFn Callback; /*  12 */
  int32_t Trace;             /*  16 */
  int32_t Reserved20;        /*  20 */
  const char* Password;      /*  24: "" when none */
  int32_t Test;              /*  28: test only, nothing is written */
  int32_t Reserved32[2];     /*  32 */
  int32_t Quiet;           /*  40: always -1; the engine asks and tells only through the callback */
  int32_t Verbose;         /*  44: also on when Trace is */
  int32_t Update;          /*  48: replace only older files, add missing ones */
  int32_t Freshen;         /*  52: replace only older existing files; off when Update is on */
  int32_t DirNames;        /*  56: keep the stored directory names (else flatten) */
  int32_t Overwrite;       /*  60: replace existing files */
  int32_t SpecCount;       /*  64: entries of Specs; 0 means every entry */
  const char* ZipFileName; /*  68: the archive */
  const UnpackFileSpec* Specs; /*  72 */
  int32_t Reserved76;          /*  76 */
  int32_t ToMemory;            /*  80: stream operations only */
  void* Buffer;                /*  84: stream operations only */
  int32_t BufferSize;          /*  88: stream operations only */
  int32_t FromMemory;          /*  92: stream-to-stream operations only */
  void* SourceBuffer;          /*  96: stream-to-stream operations only */
  int32_t SourceSize;          /* 100: stream-to-stream operations only */
  int32_t PasswordRequests;    /* 104: 0 to 15 */
  const char* BaseDir;         /* 108: target folder; 0 when empty or when testing */
  int32_t Reserved112[8];      /* 112 */
  int32_t RecordMark;          /* 144: KORVEL_RECORD_RECORD_MARK */
} UnpackCommandRecord;

/* Packing command record, passed to PackExec: 216 bytes on 32-bit builds. */
typedef struct PackCommandRecord {
  void* Handle;              /*   0: the application window */
  void* Caller;              /*   4: handed back in every callback record */
  int32_t Version;           /*   8: KORVEL_ENGINE_VERSION */
  EngineCallbackFn Callback; /*  12 */
  int32_t Trace;             /*  16 */
  const char* Password;      /*  20: at most 81 characters, or 0 */
  const char* StoreSuffixes; /*  24: ".gif:.png:..." stored without compression, or 0 */
  int32_t Encrypt;           /*  28 */
  int32_t HiddenFiles;       /*  32: include hidden and system files */
  int32_t Volume;            /*  36: add the volume label */
  /* An archive the new one is made from, or 0: a file whose entry there has the same name, size
     and CRC-32, and is deflated smaller than this run deflates it, takes those bytes. */
  const char* ReferenceZip;  /*  40 */
  int32_t NoDirEntries;      /*  44: on unless separate directory entries are wanted */
  int32_t FromDate;          /*  48: only files dated on or after Date */
  int32_t Verbose;           /*  52: also on when Trace is */
  int32_t Quiet;           /*  56: always -1; the engine asks and tells only through the callback */
  int32_t Level;           /*  60: deflate level 0 to 9 */
  int32_t Reserved64[2];   /*  64 */
  int32_t JunkDirNames;    /*  72: store bare file names */
  uint16_t Recurse;        /*  76: 0xFFFF or 0, the default for the patterns */
  uint16_t Reserved78;     /*  78 */
  int32_t NotSafe;         /*  80: on unless the caller asked for safe writing */
  int32_t ForceDos;        /*  84: force short DOS names */
  int32_t Move;            /*  88: delete files after adding them */
  int32_t Reserved92;      /*  92 */
  int32_t Update;          /*  96: add new files, replace entries older than their file */
  int32_t Freshen;         /* 100: replace entries older than their file only */
  int32_t Reserved104;     /* 104 */
  int32_t ZipTime;         /* 108: give the archive the time of its newest entry */
  char Date[8];            /* 112: "mm dd yy", no terminator */
  int32_t SpecCount;       /* 120: entries of Specs */
  const char* ZipFileName; /* 124: the archive */
  const char* TempDir;     /* 128: folder for temporary files, or 0 */
  const char* Comment;     /* 132: archive comment, or 0 */
  uint16_t ArchiveOnly;    /* 136: 1 or 0: only files with the archive attribute */
  uint16_t ResetArchive;   /* 138: 1 or 0: clear the archive attribute */
  const PackFileSpec* Specs;   /* 140 */
  int32_t Reserved144;         /* 144 */
  int32_t ExcludeCount;        /* 148 */
  const char* const* Excludes; /* 152: ExcludeCount patterns */
  int32_t ToMemory;            /* 156: stream operations only */
  void* Buffer;                /* 160 */
  int32_t BufferSize;          /* 164 */
  int32_t FromMemory;          /* 168 */
  void* SourceBuffer;          /* 172 */
  int32_t SourceSize;          /* 176 */
  int32_t Reserved180[2];      /* 180 */
  int32_t AllowUndo;           /* 188: -1 to move deleted files to the wastebasket */
  uint16_t CodePage;           /* 192: 2 for OEM names */
  uint16_t Reserved194;        /* 194 */
  int32_t Version2;            /* 196: KORVEL_ENGINE_VERSION */
  const char* RootDir;         /* 200: base of the patterns (full path), or 0 */
  int32_t Reserved204[2];      /* 204 */
  int32_t RecordMark;          /* 212: KORVEL_RECORD_RECORD_MARK */
} PackCommandRecord;

/* The callback's text area at offset 28. */
typedef union EngineCallbackText {
  /* The engine's text (file name or message) and the component's text answers, NUL-terminated;
     an answer holds at most KORVEL_CALLBACK_TEXT_SIZE - 1 characters. */
  char Buffer[KORVEL_CALLBACK_TEXT_SIZE];
  /* When the first 4 bytes are 0 the text is at Text instead (offset 32 on 32-bit builds). */
  struct {
    int32_t Zero;
    const char* Text;
  } Indirect;
  /* A file-comment question: the entry's name, then its current comment at offset 284. */
  struct {
    char Name[KORVEL_CALLBACK_NAME_SIZE];
    char Comment[KORVEL_CALLBACK_COMMENT_SIZE];
  } Question;
} EngineCallbackText;

/* Callback record, written by the engine and partly answered by the component: 536 bytes on 32-bit
   builds. */
struct EngineCallbackRecord {
  int32_t Reserved0;       /*   0 */
  void* Caller;            /*   4: Caller of the command record */
  int32_t Reserved8;       /*   8 */
  int32_t IsZip;           /*  12: password request: non-zero when packing */
  uint32_t Code;           /*  16: action (bits 0-5), text position (8-15), message id (16-31) */
  int32_t Arg1;            /*  20: error value, flags or size; the answer's flag */
  int32_t Arg2;            /*  24: size, count or repeat count; the answer's value */
  EngineCallbackText Text; /*  28 */
  const void* Data;        /* 532: archive or file name for actions 1-3 and 7, extra data for 14 */
};

/* The action in bits 0 to 5 of the callback's Code. Text is the record's text area; Data points
   to the added file (packing) or the archive (unpacking) for actions 1 to 3. */
enum EngineCallbackAction {
  kCallbackActionTick = 0,
  kCallbackActionNewFile = 1,    /* Text: entry name; Arg1: its size */
  kCallbackActionProgress = 2,   /* Arg1: bytes done since the last report */
  kCallbackActionEndOfBatch = 3, /* the run is over */
  /* Arg1: error value (0 for information); Arg2: the system's error number when a system call
     failed, else 0; Text: the message; Data: the entry's name (NUL-terminated) when the message
     is about one, else 0. */
  kCallbackActionMessage = 4,
  kCallbackActionTotalFiles = 5, /* Arg1: number of files the run will handle */
  kCallbackActionTotalSize = 6,  /* Arg1: bytes the run will handle */
  kCallbackActionNewName = 7,
  /* Text: entry; Arg1 bit 0: confirmation wanted; Arg2: requests left. Answer: Arg1 1 with the
     password in Text and the repeat count in Arg2, or Arg1 0; Code 0 stops further requests. */
  kCallbackActionPassword = 8,
  /* Text: entry. Answer in Arg1: 1 or -1 keeps the damaged data; 0, or 2 (nobody decided),
     drops it and leaves any existing file as it was. */
  kCallbackActionCrcError = 9,
  /* Text: file; Arg2: -1 when the record says overwrite. Answer: Arg2 non-zero replaces. */
  kCallbackActionOverwrite = 10,
  kCallbackActionSkipped = 11, /* Text: entry; Arg1: error value, 0 when skipped by choice */
  kCallbackActionFileComment = 12,
  kCallbackActionStreamSize = 13,
  kCallbackActionFileExtra = 14,
  kCallbackActionNewExtra = 15,
  kCallbackActionExtraProgress = 16,
  kCallbackActionExtractName = 17
};

/* The action, text position and message identifier held in a callback's Code. */
#define KORVEL_CALLBACK_CODE(action, position, message_id)   \
  ((uint32_t)(action) | ((uint32_t)((position)&0xFF) << 8) | \
   ((uint32_t)((message_id)&0xFFFF) << 16))
#define KORVEL_CALLBACK_CODE_ACTION(code) ((int)((code)&0x3F))
#define KORVEL_CALLBACK_CODE_POSITION(code) ((int)(((code) >> 8) & 0xFF))
#define KORVEL_CALLBACK_CODE_MESSAGE_ID(code) ((int)(((code) >> 16) & 0xFFFF))

/* Error values the engines report in Arg1 of a message or skipped callback (the component keeps
   the low byte). 9 is left to the component: it marks an exception in one of its handlers. */
enum EngineErrorValue {
  kEngineErrorNone = 0,
  kEngineErrorWarning = 1, /* a minor problem; the run went on */
  kEngineErrorDamaged = 2, /* damaged or unreadable archive */
  kEngineErrorSevere = 3,  /* the run could not go on */
  kEngineErrorMemory = 4,
  kEngineErrorCrc = 5,          /* an entry's data does not match its checksum */
  kEngineErrorRead = 6,         /* a file could not be opened or read */
  kEngineErrorWrite = 7,        /* a file or folder could not be created or written */
  kEngineErrorUnsafeName = 8,   /* an entry would land outside the target folder; refused */
  kEngineErrorNothingToDo = 10, /* no file or entry matched */
  kEngineErrorParameter = 11,   /* the command record is incomplete or inconsistent */
  kEngineErrorPassword = 12,    /* encrypted entry without a usable password */
  kEngineErrorUnsupported = 13  /* compression method or format feature not supported */
};

/* Negative results of UnpackExec and PackExec. */
enum EngineExecResult {
  kEngineExecAborted = -1,   /* the run could not start or broke off */
  kEngineExecFatal = -2,     /* an internal fault */
  kEngineExecBusy = -3,      /* another run of this engine is active */
  kEngineExecCancelled = -4, /* a callback asked to stop */
  kEngineExecNoMemory = -5,
  kEngineExecBadRecord = -6, /* null record, wrong mark or version */
  kEngineExecHandler = -8    /* a callback answered 10106 */
};

/* Entry points of the packing engine. */
typedef int32_t(KORVEL_RECORD_CALL* PackExecFn)(PackCommandRecord* record);
typedef int32_t(KORVEL_RECORD_CALL* GetPackVersionFn)(void);
typedef int32_t(KORVEL_RECORD_CALL* GetPackPrivVersionFn)(void);

/* Entry points of the unpacking engine. */
typedef int32_t(KORVEL_RECORD_CALL* UnpackExecFn)(UnpackCommandRecord* record);
typedef int32_t(KORVEL_RECORD_CALL* GetUnpackVersionFn)(void);
typedef int32_t(KORVEL_RECORD_CALL* GetUnpackPrivVersionFn)(void);

/* Exported names of the entry points, for dlsym / GetProcAddress. */
#define KORVEL_PACK_EXEC_NAME "PackExec"
#define KORVEL_PACK_VERSION_NAME "GetPackVersion"
#define KORVEL_PACK_PRIV_VERSION_NAME "GetPackPrivVersion"
#define KORVEL_UNPACK_EXEC_NAME "UnpackExec"
#define KORVEL_UNPACK_VERSION_NAME "GetUnpackVersion"
#define KORVEL_UNPACK_PRIV_VERSION_NAME "GetUnpackPrivVersion"

/* The layout check. */
#ifdef __cplusplus
#define KORVEL_RECORD_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define KORVEL_RECORD_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#define KORVEL_RECORD_AT(type, field, offset) \
  KORVEL_RECORD_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " at " #offset)

KORVEL_RECORD_STATIC_ASSERT(sizeof(UnpackFileSpec) == 72, "UnpackFileSpec size");
KORVEL_RECORD_STATIC_ASSERT(sizeof(PackFileSpec) == 104, "PackFileSpec size");
KORVEL_RECORD_STATIC_ASSERT(sizeof(UnpackCommandRecord) == 148, "UnpackCommandRecord size");
KORVEL_RECORD_STATIC_ASSERT(sizeof(PackCommandRecord) == 216, "PackCommandRecord size");
KORVEL_RECORD_STATIC_ASSERT(sizeof(EngineCallbackRecord) == 536, "EngineCallbackRecord size");

KORVEL_RECORD_AT(PackFileSpec, FileSpec, 0);
KORVEL_RECORD_AT(PackFileSpec, Password, 12);
KORVEL_RECORD_AT(PackFileSpec, Encrypt, 16);
KORVEL_RECORD_AT(PackFileSpec, Recurse, 20);
KORVEL_RECORD_AT(PackFileSpec, Reserved24[3], 36);

KORVEL_RECORD_AT(UnpackCommandRecord, Handle, 0);
KORVEL_RECORD_AT(UnpackCommandRecord, Caller, 4);
KORVEL_RECORD_AT(UnpackCommandRecord, Version, 8);
KORVEL_RECORD_AT(UnpackCommandRecord, Callback, 12);
KORVEL_RECORD_AT(UnpackCommandRecord, Trace, 16);
KORVEL_RECORD_AT(UnpackCommandRecord, Password, 24);
KORVEL_RECORD_AT(UnpackCommandRecord, Test, 28);
KORVEL_RECORD_AT(UnpackCommandRecord, Quiet, 40);
KORVEL_RECORD_AT(UnpackCommandRecord, Verbose, 44);
KORVEL_RECORD_AT(UnpackCommandRecord, Update, 48);
KORVEL_RECORD_AT(UnpackCommandRecord, Freshen, 52);
KORVEL_RECORD_AT(UnpackCommandRecord, DirNames, 56);
KORVEL_RECORD_AT(UnpackCommandRecord, Overwrite, 60);
KORVEL_RECORD_AT(UnpackCommandRecord, SpecCount, 64);
KORVEL_RECORD_AT(UnpackCommandRecord, ZipFileName, 68);
KORVEL_RECORD_AT(UnpackCommandRecord, Specs, 72);
KORVEL_RECORD_AT(UnpackCommandRecord, ToMemory, 80);
KORVEL_RECORD_AT(UnpackCommandRecord, Buffer, 84);
KORVEL_RECORD_AT(UnpackCommandRecord, BufferSize, 88);
KORVEL_RECORD_AT(UnpackCommandRecord, FromMemory, 92);
KORVEL_RECORD_AT(UnpackCommandRecord, SourceBuffer, 96);
KORVEL_RECORD_AT(UnpackCommandRecord, SourceSize, 100);
KORVEL_RECORD_AT(UnpackCommandRecord, PasswordRequests, 104);
KORVEL_RECORD_AT(UnpackCommandRecord, BaseDir, 108);
KORVEL_RECORD_AT(UnpackCommandRecord, RecordMark, 144);

KORVEL_RECORD_AT(PackCommandRecord, Handle, 0);
KORVEL_RECORD_AT(PackCommandRecord, Caller, 4);
KORVEL_RECORD_AT(PackCommandRecord, Version, 8);
KORVEL_RECORD_AT(PackCommandRecord, Callback, 12);
KORVEL_RECORD_AT(PackCommandRecord, Trace, 16);
KORVEL_RECORD_AT(PackCommandRecord, Password, 20);
KORVEL_RECORD_AT(PackCommandRecord, StoreSuffixes, 24);
KORVEL_RECORD_AT(PackCommandRecord, Encrypt, 28);
KORVEL_RECORD_AT(PackCommandRecord, HiddenFiles, 32);
KORVEL_RECORD_AT(PackCommandRecord, Volume, 36);
KORVEL_RECORD_AT(PackCommandRecord, ReferenceZip, 40);
KORVEL_RECORD_AT(PackCommandRecord, NoDirEntries, 44);
KORVEL_RECORD_AT(PackCommandRecord, FromDate, 48);
KORVEL_RECORD_AT(PackCommandRecord, Verbose, 52);
KORVEL_RECORD_AT(PackCommandRecord, Quiet, 56);
KORVEL_RECORD_AT(PackCommandRecord, Level, 60);
KORVEL_RECORD_AT(PackCommandRecord, JunkDirNames, 72);
KORVEL_RECORD_AT(PackCommandRecord, Recurse, 76);
KORVEL_RECORD_AT(PackCommandRecord, NotSafe, 80);
KORVEL_RECORD_AT(PackCommandRecord, ForceDos, 84);
KORVEL_RECORD_AT(PackCommandRecord, Move, 88);
KORVEL_RECORD_AT(PackCommandRecord, Update, 96);
KORVEL_RECORD_AT(PackCommandRecord, Freshen, 100);
KORVEL_RECORD_AT(PackCommandRecord, ZipTime, 108);
KORVEL_RECORD_AT(PackCommandRecord, Date, 112);
KORVEL_RECORD_AT(PackCommandRecord, SpecCount, 120);
KORVEL_RECORD_AT(PackCommandRecord, ZipFileName, 124);
KORVEL_RECORD_AT(PackCommandRecord, TempDir, 128);
KORVEL_RECORD_AT(PackCommandRecord, Comment, 132);
KORVEL_RECORD_AT(PackCommandRecord, ArchiveOnly, 136);
KORVEL_RECORD_AT(PackCommandRecord, ResetArchive, 138);
KORVEL_RECORD_AT(PackCommandRecord, Specs, 140);
KORVEL_RECORD_AT(PackCommandRecord, ExcludeCount, 148);
KORVEL_RECORD_AT(PackCommandRecord, Excludes, 152);
KORVEL_RECORD_AT(PackCommandRecord, ToMemory, 156);
KORVEL_RECORD_AT(PackCommandRecord, Reserved180, 180);
KORVEL_RECORD_AT(PackCommandRecord, AllowUndo, 188);
KORVEL_RECORD_AT(PackCommandRecord, CodePage, 192);
KORVEL_RECORD_AT(PackCommandRecord, Version2, 196);
KORVEL_RECORD_AT(PackCommandRecord, RootDir, 200);
KORVEL_RECORD_AT(PackCommandRecord, RecordMark, 212);

KORVEL_RECORD_AT(EngineCallbackRecord, Caller, 4);
KORVEL_RECORD_AT(EngineCallbackRecord, IsZip, 12);
KORVEL_RECORD_AT(EngineCallbackRecord, Code, 16);
KORVEL_RECORD_AT(EngineCallbackRecord, Arg1, 20);
KORVEL_RECORD_AT(EngineCallbackRecord, Arg2, 24);
KORVEL_RECORD_AT(EngineCallbackRecord, Text, 28);
KORVEL_RECORD_AT(EngineCallbackRecord, Text.Indirect.Text, 32);
KORVEL_RECORD_AT(EngineCallbackRecord, Text.Question.Comment, 284);
KORVEL_RECORD_AT(EngineCallbackRecord, Data, 532);

#undef KORVEL_RECORD_AT
#else
/* Wider pointers: natural alignment; only what both sides rely on. */
KORVEL_RECORD_STATIC_ASSERT(offsetof(EngineCallbackRecord, Text.Question.Comment) -
                                    offsetof(EngineCallbackRecord, Text) ==
                                KORVEL_CALLBACK_NAME_SIZE,
                            "comment follows the name");
KORVEL_RECORD_STATIC_ASSERT(sizeof(EngineCallbackText) >= KORVEL_CALLBACK_TEXT_SIZE,
                            "text area size");
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KORVEL_ARCHIVE_ENGINERECORDS_H */
