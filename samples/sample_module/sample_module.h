/* The sample module's platform seam: what the portable part asks of the
 * system it runs on. sample_module_win32.c and sample_module_posix.c
 * implement it. */
#ifndef QVL_SAMPLE_MODULE_H
#define QVL_SAMPLE_MODULE_H

#include <stddef.h>
#include <stdint.h>

#include "quarvel/module_interface.h"

/* The four entries; each platform exports them under the names and positions
 * the bootstrapper looks for. */
uint8_t SampleInitialize(const QVL_StartRecord* record);
uint8_t SampleShutdown(const int32_t* reason);
void SampleReserved(void);
uint8_t SampleSetLanguage(const QVL_LanguageRecord* record);

/* The value of an environment variable copied into `value`; 0 when it is
 * missing or does not fit. */
int SampleReadEnvironment(const char* name, char* value, size_t size);

void SampleSleepMs(unsigned milliseconds);

/* Whether this module was loaded into a Windows program running under Wine. */
int SampleRunsUnderWine(void);

/* Starts the game named by the start record itself. Returns the process id
 * to hand to the bootstrapper (under Wine the host's id, for which the Wine
 * process-id file has been written), or 0 with `error` filled. */
int32_t SampleStartGame(const QVL_StartRecord* record, char* error, size_t errorSize);

#endif
