/* Builds the module interface as a C-only module author would and plays one
 * start: the bootstrapper side fills a start record, the module side reads
 * it and answers through its version-2 callback. */
#include "quarvel/module_interface.h"

#include <stdio.h>
#include <string.h>

static QVL_ProtectedGameLaunchResult reportedCode;
static const char* reportedMessage;
static void* reportedContext;

static void OnModuleResult(const QVL_ResultRecord* result) {
  reportedCode = (QVL_ProtectedGameLaunchResult)result->code;
  reportedMessage = result->message;
  reportedContext = result->context;
}

/* A module's initialize entry that accepts version 2 only. */
static uint8_t ModuleInitialize(const QVL_StartRecord* record) {
  QVL_ResultRecord result;
  if (record->version != QVL_StartRecordVersion2 || record->callbackV2 == NULL) {
    return QVL_InitializeUnsupportedVersion;
  }
  memset(&result, 0, sizeof(result));
  result.context = record->context;
  result.code = QVL_LoaderCreateGameProcess;
  result.message = record->productId;
  record->callbackV2(&result);
  return QVL_InitializeOk;
}

int main(void) {
  int loaderContext = 0;
  QVL_StartRecord record;
  QVL_InitializeEntry initialize = ModuleInitialize;
  QVL_ModuleDownloadProgressResult progress = QVL_Cancel;

  memset(&record, 0, sizeof(record));
  record.version = QVL_StartRecordVersion2;
  record.context = &loaderContext;
  record.productId = "product";
  record.callbackV2 = OnModuleResult;

  if (initialize(&record) != QVL_InitializeOk || reportedCode != QVL_LoaderCreateGameProcess ||
      reportedContext != &loaderContext || strcmp(reportedMessage, "product") != 0 ||
      progress != 1) {
    fputs("the module did not see the start record as written\n", stderr);
    return 1;
  }
  return 0;
}
