/* Command and callback records passed between the archive component and the engine libraries. */
#ifndef KORVEL_ARCHIVE_ZIPRECORDS_H
#define KORVEL_ARCHIVE_ZIPRECORDS_H

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
#define KORVEL_ZIP_CALL __stdcall
#else
#define KORVEL_ZIP_CALL
#endif

/* The constant at offset 8 and 196 of the packing record: the record format's version. */
#define KORVEL_ZIP_RECORD_VERSION 178
/* The constant closing both command records; an engine refuses a record without it. */
#define KORVEL_ZIP_RECORD_MARK 7
/* Bytes of the callback's text area: from offset 28 up to the pointer at offset 532. */
#define KORVEL_ZIP_CALLBACK_TEXT_SIZE 504
/* Bytes of the callback's text area before the file comment of a comment question. */
#define KORVEL_ZIP_CALLBACK_NAME_SIZE 256
/* Bytes kept for the file comment of a comment question (offset 284 up to 532). */
#define KORVEL_ZIP_CALLBACK_COMMENT_SIZE 248

typedef struct ZipCallbackRecord ZipCallbackRecord;

/*
 * The record's callback. Returns 0 to go on, 1 to cancel the run, 10106 when an event handler of
 * the component raised an exception (the engine stops then too).
 */
typedef int32_t(KORVEL_ZIP_CALL* ZipCallbackFn)(ZipCallbackRecord* record);

/* One unpacking file pattern: 72 bytes on 32-bit builds. */
typedef struct UnzFileSpec {
  const char* FileSpec; /*  0: entry name or wildcard pattern */
  int32_t Reserved[17]; /*  4 */
} UnzFileSpec;

/* One packing file pattern: 104 bytes on 32-bit builds. */
typedef struct ZipFileSpec {
  const char* FileSpec;   /*  0: file name or wildcard pattern below the root, or 0 when empty */
  int32_t Reserved4[2];   /*  4 */
  const char* Password;   /* 12: this entry's password, or 0 */
  int32_t Encrypt;        /* 16: record's flag, 0xFFFF for a per-line password, 0 for unencrypted */
  uint16_t Recurse;       /* 20: 0xFFFF or 0 */
  uint16_t Reserved22;    /* 22 */
  int32_t Reserved24[20]; /* 24; offset 36 is always 0 */
} ZipFileSpec;

/* Unpacking command record, passed to UnzDllExec: 148 bytes on 32-bit builds. */
typedef struct UnzCommandRecord {
  void* Handle;            /*   0: window for the engine's own dialogs, 0 when unattended */
  void* Caller;            /*   4: handed back in every callback record */
  int32_t Version;         /*   8: what GetUnzDllVersion returned at load time */
  ZipCallbackFn Callback;  /*  12 */
  int32_t Trace;           /*  16 */
  int32_t Reserved20;      /*  20 */
  const char* Password;    /*  24: "" when none */
  int32_t Test;            /*  28: test only, nothing is written */
  int32_t Reserved32[2];   /*  32 */
  int32_t Quiet;           /*  40: always -1; the engine asks and tells only through the callback */
  int32_t Verbose;         /*  44: also on when Trace is */
  int32_t Update;          /*  48: replace only older files, add missing ones */
  int32_t Freshen;         /*  52: replace only older existing files; off when Update is on */
  int32_t DirNames;        /*  56: keep the stored directory names (else flatten) */
  int32_t Overwrite;       /*  60: replace existing files */
  int32_t SpecCount;       /*  64: entries of Specs; 0 means every entry */
  const char* ZipFileName; /*  68: the archive */
  const UnzFileSpec* Specs; /*  72 */
  int32_t Reserved76;       /*  76 */
  int32_t ToMemory;         /*  80: stream operations only */
  void* Buffer;             /*  84: stream operations only */
  int32_t BufferSize;       /*  88: stream operations only */
  int32_t FromMemory;       /*  92: stream-to-stream operations only */
  void* SourceBuffer;       /*  96: stream-to-stream operations only */
  int32_t SourceSize;       /* 100: stream-to-stream operations only */
  int32_t PasswordRequests; /* 104: 0 to 15 */
  const char* BaseDir;      /* 108: target folder; 0 when empty or when testing */
  int32_t Reserved112[8];   /* 112 */
  int32_t RecordMark;       /* 144: KORVEL_ZIP_RECORD_MARK */
} UnzCommandRecord;

/* Packing command record, passed to ZipDllExec: 216 bytes on 32-bit builds. */
typedef struct ZipCommandRecord {
  void* Handle;              /*   0: the application window */
  void* Caller;              /*   4: handed back in every callback record */
  int32_t Version;           /*   8: KORVEL_ZIP_RECORD_VERSION */
  ZipCallbackFn Callback;    /*  12 */
  int32_t Trace;             /*  16 */
  const char* Password;      /*  20: at most 81 characters, or 0 */
  const char* StoreSuffixes; /*  24: ".gif:.png:..." stored without compression, or 0 */
  int32_t Encrypt;           /*  28 */
  int32_t HiddenFiles;       /*  32: include hidden and system files */
  int32_t Volume;            /*  36: add the volume label */
  int32_t Reserved40;        /*  40 */
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
  const ZipFileSpec* Specs;    /* 140 */
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
  int32_t Version2;            /* 196: KORVEL_ZIP_RECORD_VERSION */
  const char* RootDir;         /* 200: base of the patterns (full path), or 0 */
  int32_t Reserved204[2];      /* 204 */
  int32_t RecordMark;          /* 212: KORVEL_ZIP_RECORD_MARK */
} ZipCommandRecord;

/* The callback's text area at offset 28. */
typedef union ZipCallbackText {
  /* The engine's text (file name or message) and the component's text answers, NUL-terminated;
     an answer holds at most KORVEL_ZIP_CALLBACK_TEXT_SIZE - 1 characters. */
  char Buffer[KORVEL_ZIP_CALLBACK_TEXT_SIZE];
  /* When the first 4 bytes are 0 the text is at Text instead (offset 32 on 32-bit builds). */
  struct {
    int32_t Zero;
    const char* Text;
  } Indirect;
  /* A file-comment question: the entry's name, then its current comment at offset 284. */
  struct {
    char Name[KORVEL_ZIP_CALLBACK_NAME_SIZE];
    char Comment[KORVEL_ZIP_CALLBACK_COMMENT_SIZE];
  } Question;
} ZipCallbackText;

/* Callback record, written by the engine and partly answered by the component: 536 bytes on 32-bit
   builds. */
struct ZipCallbackRecord {
  int32_t Reserved0;    /*   0 */
  void* Caller;         /*   4: Caller of the command record */
  int32_t Reserved8;    /*   8 */
  int32_t IsZip;        /*  12: password request: non-zero when packing */
  uint32_t Code;        /*  16: action (bits 0-5), text position (8-15), message id (16-31) */
  int32_t Arg1;         /*  20: error value, flags or size; the answer's flag */
  int32_t Arg2;         /*  24: size, count or repeat count; the answer's value */
  ZipCallbackText Text; /*  28 */
  const void* Data;     /* 532: archive or file name for actions 1-3 and 7, extra data for 14 */
};

/* The action in bits 0 to 5 of the callback's Code. Text is the record's text area; Data points
   to the added file (packing) or the archive (unpacking) for actions 1 to 3. */
enum ZipCallbackAction {
  kZipActionTick = 0,
  kZipActionNewFile = 1,    /* Text: entry name; Arg1: its size */
  kZipActionProgress = 2,   /* Arg1: bytes done since the last report */
  kZipActionEndOfBatch = 3, /* the run is over */
  kZipActionMessage = 4,    /* Arg1: error value (0 for information); Text: the message */
  kZipActionTotalFiles = 5, /* Arg1: number of files the run will handle */
  kZipActionTotalSize = 6,  /* Arg1: bytes the run will handle */
  kZipActionNewName = 7,
  /* Text: entry; Arg1 bit 0: confirmation wanted; Arg2: requests left. Answer: Arg1 1 with the
     password in Text and the repeat count in Arg2, or Arg1 0; Code 0 stops further requests. */
  kZipActionPassword = 8,
  /* Text: entry. Answer in Arg1: 1 or -1 keeps the damaged data; 0, or 2 (nobody decided),
     drops it and leaves any existing file as it was. */
  kZipActionCrcError = 9,
  /* Text: file; Arg2: -1 when the record says overwrite. Answer: Arg2 non-zero replaces. */
  kZipActionOverwrite = 10,
  kZipActionSkipped = 11, /* Text: entry; Arg1: error value, 0 when skipped by choice */
  kZipActionFileComment = 12,
  kZipActionStreamSize = 13,
  kZipActionFileExtra = 14,
  kZipActionNewExtra = 15,
  kZipActionExtraProgress = 16,
  kZipActionExtractName = 17
};

/* The action, text position and message identifier held in a callback's Code. */
#define KORVEL_ZIP_CODE(action, position, message_id)        \
  ((uint32_t)(action) | ((uint32_t)((position)&0xFF) << 8) | \
   ((uint32_t)((message_id)&0xFFFF) << 16))
#define KORVEL_ZIP_CODE_ACTION(code) ((int)((code)&0x3F))
#define KORVEL_ZIP_CODE_POSITION(code) ((int)(((code) >> 8) & 0xFF))
#define KORVEL_ZIP_CODE_MESSAGE_ID(code) ((int)(((code) >> 16) & 0xFFFF))

/* Error values the engines report in Arg1 of a message or skipped callback (the component keeps
   the low byte). 9 is left to the component: it marks an exception in one of its handlers. */
enum ZipEngineError {
  kZipErrorNone = 0,
  kZipErrorWarning = 1, /* a minor problem; the run went on */
  kZipErrorDamaged = 2, /* damaged or unreadable archive */
  kZipErrorSevere = 3,  /* the run could not go on */
  kZipErrorMemory = 4,
  kZipErrorCrc = 5,          /* an entry's data does not match its checksum */
  kZipErrorRead = 6,         /* a file could not be opened or read */
  kZipErrorWrite = 7,        /* a file or folder could not be created or written */
  kZipErrorUnsafeName = 8,   /* an entry would land outside the target folder; refused */
  kZipErrorNothingToDo = 10, /* no file or entry matched */
  kZipErrorParameter = 11,   /* the command record is incomplete or inconsistent */
  kZipErrorPassword = 12,    /* encrypted entry without a usable password */
  kZipErrorUnsupported = 13  /* compression method or format feature not supported */
};

/* Negative results of UnzDllExec and ZipDllExec. */
enum ZipExecResult {
  kZipExecAborted = -1,   /* the run could not start or broke off */
  kZipExecFatal = -2,     /* an internal fault */
  kZipExecBusy = -3,      /* another run of this engine is active */
  kZipExecCancelled = -4, /* a callback asked to stop */
  kZipExecNoMemory = -5,
  kZipExecBadRecord = -6, /* null record, wrong mark or version */
  kZipExecHandler = -8    /* a callback answered 10106 */
};

/* Entry points of the packing engine. */
typedef int32_t(KORVEL_ZIP_CALL* ZipDllExecFn)(ZipCommandRecord* record);
typedef int32_t(KORVEL_ZIP_CALL* GetZipDllVersionFn)(void);
typedef int32_t(KORVEL_ZIP_CALL* GetZipDllPrivVersionFn)(void);

/* Entry points of the unpacking engine. */
typedef int32_t(KORVEL_ZIP_CALL* UnzDllExecFn)(UnzCommandRecord* record);
typedef int32_t(KORVEL_ZIP_CALL* GetUnzDllVersionFn)(void);
typedef int32_t(KORVEL_ZIP_CALL* GetUnzDllPrivVersionFn)(void);

/* Exported names of the entry points, for dlsym / GetProcAddress. */
#define KORVEL_ZIP_EXEC_NAME "ZipDllExec"
#define KORVEL_ZIP_VERSION_NAME "GetZipDllVersion"
#define KORVEL_ZIP_PRIV_VERSION_NAME "GetZipDllPrivVersion"
#define KORVEL_UNZ_EXEC_NAME "UnzDllExec"
#define KORVEL_UNZ_VERSION_NAME "GetUnzDllVersion"
#define KORVEL_UNZ_PRIV_VERSION_NAME "GetUnzDllPrivVersion"

/* The layout check. */
#ifdef __cplusplus
#define KORVEL_ZIP_STATIC_ASSERT(condition, text) static_assert(condition, text)
#else
#define KORVEL_ZIP_STATIC_ASSERT(condition, text) _Static_assert(condition, text)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#define KORVEL_ZIP_AT(type, field, offset) \
  KORVEL_ZIP_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " at " #offset)

KORVEL_ZIP_STATIC_ASSERT(sizeof(UnzFileSpec) == 72, "UnzFileSpec size");
KORVEL_ZIP_STATIC_ASSERT(sizeof(ZipFileSpec) == 104, "ZipFileSpec size");
KORVEL_ZIP_STATIC_ASSERT(sizeof(UnzCommandRecord) == 148, "UnzCommandRecord size");
KORVEL_ZIP_STATIC_ASSERT(sizeof(ZipCommandRecord) == 216, "ZipCommandRecord size");
KORVEL_ZIP_STATIC_ASSERT(sizeof(ZipCallbackRecord) == 536, "ZipCallbackRecord size");

KORVEL_ZIP_AT(ZipFileSpec, FileSpec, 0);
KORVEL_ZIP_AT(ZipFileSpec, Password, 12);
KORVEL_ZIP_AT(ZipFileSpec, Encrypt, 16);
KORVEL_ZIP_AT(ZipFileSpec, Recurse, 20);
KORVEL_ZIP_AT(ZipFileSpec, Reserved24[3], 36);

KORVEL_ZIP_AT(UnzCommandRecord, Handle, 0);
KORVEL_ZIP_AT(UnzCommandRecord, Caller, 4);
KORVEL_ZIP_AT(UnzCommandRecord, Version, 8);
KORVEL_ZIP_AT(UnzCommandRecord, Callback, 12);
KORVEL_ZIP_AT(UnzCommandRecord, Trace, 16);
KORVEL_ZIP_AT(UnzCommandRecord, Password, 24);
KORVEL_ZIP_AT(UnzCommandRecord, Test, 28);
KORVEL_ZIP_AT(UnzCommandRecord, Quiet, 40);
KORVEL_ZIP_AT(UnzCommandRecord, Verbose, 44);
KORVEL_ZIP_AT(UnzCommandRecord, Update, 48);
KORVEL_ZIP_AT(UnzCommandRecord, Freshen, 52);
KORVEL_ZIP_AT(UnzCommandRecord, DirNames, 56);
KORVEL_ZIP_AT(UnzCommandRecord, Overwrite, 60);
KORVEL_ZIP_AT(UnzCommandRecord, SpecCount, 64);
KORVEL_ZIP_AT(UnzCommandRecord, ZipFileName, 68);
KORVEL_ZIP_AT(UnzCommandRecord, Specs, 72);
KORVEL_ZIP_AT(UnzCommandRecord, ToMemory, 80);
KORVEL_ZIP_AT(UnzCommandRecord, Buffer, 84);
KORVEL_ZIP_AT(UnzCommandRecord, BufferSize, 88);
KORVEL_ZIP_AT(UnzCommandRecord, FromMemory, 92);
KORVEL_ZIP_AT(UnzCommandRecord, SourceBuffer, 96);
KORVEL_ZIP_AT(UnzCommandRecord, SourceSize, 100);
KORVEL_ZIP_AT(UnzCommandRecord, PasswordRequests, 104);
KORVEL_ZIP_AT(UnzCommandRecord, BaseDir, 108);
KORVEL_ZIP_AT(UnzCommandRecord, RecordMark, 144);

KORVEL_ZIP_AT(ZipCommandRecord, Handle, 0);
KORVEL_ZIP_AT(ZipCommandRecord, Caller, 4);
KORVEL_ZIP_AT(ZipCommandRecord, Version, 8);
KORVEL_ZIP_AT(ZipCommandRecord, Callback, 12);
KORVEL_ZIP_AT(ZipCommandRecord, Trace, 16);
KORVEL_ZIP_AT(ZipCommandRecord, Password, 20);
KORVEL_ZIP_AT(ZipCommandRecord, StoreSuffixes, 24);
KORVEL_ZIP_AT(ZipCommandRecord, Encrypt, 28);
KORVEL_ZIP_AT(ZipCommandRecord, HiddenFiles, 32);
KORVEL_ZIP_AT(ZipCommandRecord, Volume, 36);
KORVEL_ZIP_AT(ZipCommandRecord, NoDirEntries, 44);
KORVEL_ZIP_AT(ZipCommandRecord, FromDate, 48);
KORVEL_ZIP_AT(ZipCommandRecord, Verbose, 52);
KORVEL_ZIP_AT(ZipCommandRecord, Quiet, 56);
KORVEL_ZIP_AT(ZipCommandRecord, Level, 60);
KORVEL_ZIP_AT(ZipCommandRecord, JunkDirNames, 72);
KORVEL_ZIP_AT(ZipCommandRecord, Recurse, 76);
KORVEL_ZIP_AT(ZipCommandRecord, NotSafe, 80);
KORVEL_ZIP_AT(ZipCommandRecord, ForceDos, 84);
KORVEL_ZIP_AT(ZipCommandRecord, Move, 88);
KORVEL_ZIP_AT(ZipCommandRecord, Update, 96);
KORVEL_ZIP_AT(ZipCommandRecord, Freshen, 100);
KORVEL_ZIP_AT(ZipCommandRecord, ZipTime, 108);
KORVEL_ZIP_AT(ZipCommandRecord, Date, 112);
KORVEL_ZIP_AT(ZipCommandRecord, SpecCount, 120);
KORVEL_ZIP_AT(ZipCommandRecord, ZipFileName, 124);
KORVEL_ZIP_AT(ZipCommandRecord, TempDir, 128);
KORVEL_ZIP_AT(ZipCommandRecord, Comment, 132);
KORVEL_ZIP_AT(ZipCommandRecord, ArchiveOnly, 136);
KORVEL_ZIP_AT(ZipCommandRecord, ResetArchive, 138);
KORVEL_ZIP_AT(ZipCommandRecord, Specs, 140);
KORVEL_ZIP_AT(ZipCommandRecord, ExcludeCount, 148);
KORVEL_ZIP_AT(ZipCommandRecord, Excludes, 152);
KORVEL_ZIP_AT(ZipCommandRecord, ToMemory, 156);
KORVEL_ZIP_AT(ZipCommandRecord, Reserved180, 180);
KORVEL_ZIP_AT(ZipCommandRecord, AllowUndo, 188);
KORVEL_ZIP_AT(ZipCommandRecord, CodePage, 192);
KORVEL_ZIP_AT(ZipCommandRecord, Version2, 196);
KORVEL_ZIP_AT(ZipCommandRecord, RootDir, 200);
KORVEL_ZIP_AT(ZipCommandRecord, RecordMark, 212);

KORVEL_ZIP_AT(ZipCallbackRecord, Caller, 4);
KORVEL_ZIP_AT(ZipCallbackRecord, IsZip, 12);
KORVEL_ZIP_AT(ZipCallbackRecord, Code, 16);
KORVEL_ZIP_AT(ZipCallbackRecord, Arg1, 20);
KORVEL_ZIP_AT(ZipCallbackRecord, Arg2, 24);
KORVEL_ZIP_AT(ZipCallbackRecord, Text, 28);
KORVEL_ZIP_AT(ZipCallbackRecord, Text.Indirect.Text, 32);
KORVEL_ZIP_AT(ZipCallbackRecord, Text.Question.Comment, 284);
KORVEL_ZIP_AT(ZipCallbackRecord, Data, 532);

#undef KORVEL_ZIP_AT
#else
/* Wider pointers: natural alignment; only what both sides rely on. */
KORVEL_ZIP_STATIC_ASSERT(offsetof(ZipCallbackRecord, Text.Question.Comment) -
                                 offsetof(ZipCallbackRecord, Text) ==
                             KORVEL_ZIP_CALLBACK_NAME_SIZE,
                         "comment follows the name");
KORVEL_ZIP_STATIC_ASSERT(sizeof(ZipCallbackText) >= KORVEL_ZIP_CALLBACK_TEXT_SIZE,
                         "text area size");
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KORVEL_ARCHIVE_ZIPRECORDS_H */
