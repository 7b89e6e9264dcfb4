/* A stand-in engine library for the archive tests. Its version is fixed when it is built; the
   test sets its exec result and the callback traffic, and reads back the record it was given. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "archive/EngineRecords.h"

#define EXPORT __attribute__((visibility("default")))

#ifdef FAKE_PACK
#define FAKE_RECORD PackCommandRecord
#define FAKE_EXEC PackExec
#define FAKE_VERSION_FN GetPackVersion
#define FAKE_PRIV_FN GetPackPrivVersion
#else
#define FAKE_RECORD UnpackCommandRecord
#define FAKE_EXEC UnpackExec
#define FAKE_VERSION_FN GetUnpackVersion
#define FAKE_PRIV_FN GetUnpackPrivVersion
#endif

static int32_t result_value = 1;
static int32_t message_error = 0;
static uint32_t message_code = 0; /* position and identifier bits of the message callback */
static int message_indirect = 0;  /* hand the message text by pointer */
static int password_request = 0;  /* ask for a password once */
static EngineCallbackRecord password_answer;
static int32_t calls = 0;
static int32_t last_callback_answer = 0;
static FAKE_RECORD last_record;
/* Copies of the record's strings by name: "archive", "pattern:<n>", "password:<n>" ... */
static char texts[64][300];
static char names[64][32];
static int text_count = 0;

EXPORT void FakeSetResult(int32_t value) {
  result_value = value;
}
EXPORT void FakeSetMessageError(int32_t value) {
  message_error = value;
}
EXPORT void FakeSetMessageForm(uint32_t code, int indirect) {
  message_code = code;
  message_indirect = indirect;
}
EXPORT void FakeSetPasswordRequest(int on) {
  password_request = on;
}
EXPORT const EngineCallbackRecord* FakePasswordAnswer(void) {
  return &password_answer;
}
EXPORT int32_t FakeCalls(void) {
  return calls;
}
EXPORT int32_t FakeLastCallbackAnswer(void) {
  return last_callback_answer;
}
EXPORT const FAKE_RECORD* FakeLastRecord(void) {
  return &last_record;
}
EXPORT const char* FakeText(const char* name) {
  for (int i = 0; i < text_count; ++i)
    if (strcmp(names[i], name) == 0) return texts[i];
  return NULL;
}

EXPORT int32_t FAKE_VERSION_FN(void) {
  return FAKE_VERSION;
}
EXPORT int32_t FAKE_PRIV_FN(void) {
  return FAKE_VERSION * 10000;
}

#ifndef FAKE_NO_EXEC
static void Keep(const char* name, const char* value) {
  if (text_count >= 64) return;
  snprintf(names[text_count], sizeof names[0], "%s", name);
  snprintf(texts[text_count], sizeof texts[0], "%s", value == NULL ? "(null)" : value);
  ++text_count;
}

static int32_t Send(FAKE_RECORD* record, int action, int32_t arg1, const char* text) {
  EngineCallbackRecord cb;
  memset(&cb, 0, sizeof cb);
  cb.Caller = record->Caller;
  cb.Code = KORVEL_CALLBACK_CODE(action, 0, 0);
  cb.Arg1 = arg1;
  strncpy(cb.Text.Buffer, text, KORVEL_CALLBACK_TEXT_SIZE - 1);
  last_callback_answer = record->Callback(&cb);
  return last_callback_answer;
}

EXPORT int32_t FAKE_EXEC(FAKE_RECORD* record) {
  char name[32];
  ++calls;
  text_count = 0;
  last_record = *record;
  Keep("archive", record->ZipFileName);
  Keep("password", record->Password);
#ifdef FAKE_PACK
  Keep("suffixes", record->StoreSuffixes);
  Keep("reference", record->ReferenceZip);
  Keep("root", record->RootDir);
  Keep("comment", record->Comment);
  for (int i = 0; i < record->SpecCount && i < 16; ++i) {
    snprintf(name, sizeof name, "pattern:%d", i);
    Keep(name, record->Specs[i].FileSpec);
    snprintf(name, sizeof name, "password:%d", i);
    Keep(name, record->Specs[i].Password);
  }
  for (int i = 0; i < record->ExcludeCount && i < 16; ++i) {
    snprintf(name, sizeof name, "exclude:%d", i);
    Keep(name, record->Excludes[i]);
  }
#else
  Keep("base", record->BaseDir);
  for (int i = 0; i < record->SpecCount && i < 16; ++i) {
    snprintf(name, sizeof name, "pattern:%d", i);
    Keep(name, record->Specs[i].FileSpec);
  }
#endif
  int32_t answer = Send(record, kCallbackActionNewFile, 10, "dir/file.txt");
  if (answer == 10106) return kEngineExecHandler;
  if (answer != 0) return kEngineExecCancelled;
  if (message_error != 0) {
    EngineCallbackRecord cb;
    memset(&cb, 0, sizeof cb);
    cb.Caller = record->Caller;
    cb.Code = KORVEL_CALLBACK_CODE(kCallbackActionMessage, 0, 0) | message_code;
    cb.Arg1 = message_error;
    if (message_indirect)
      cb.Text.Indirect.Text = "dir/fake engine failure";
    else
      strcpy(cb.Text.Buffer, "fake engine failure");
    answer = record->Callback(&cb);
    if (answer == 10106) return kEngineExecHandler;
  }
  if (password_request) {
    memset(&password_answer, 0, sizeof password_answer);
    password_answer.Caller = record->Caller;
    password_answer.Code = KORVEL_CALLBACK_CODE(kCallbackActionPassword, 0, 0);
#ifdef FAKE_PACK
    password_answer.IsZip = 1;
#endif
    password_answer.Arg1 = 1;
    password_answer.Arg2 = 20;
    strcpy(password_answer.Text.Buffer, "secret.txt");
    answer = record->Callback(&password_answer);
    if (answer != 0) return kEngineExecCancelled;
  }
  answer = Send(record, kCallbackActionEndOfBatch, 0, "");
  if (answer == 10106) return kEngineExecHandler;
  return result_value;
}
#endif
