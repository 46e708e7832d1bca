/* A stand-in for the database engine's interface library: it records each
   call, one line per call, in the file named by QNT_IDAPI_LOG. */
#include <stdio.h>
#include <windows.h>

static void LogLine(const char* Text) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("QNT_IDAPI_LOG", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  FILE* f = fopen(path, "ab");
  if (!f) return;
  fputs(Text, f);
  fputs("\n", f);
  fclose(f);
}

unsigned short WINAPI DbiInit(void* pEnv) {
  LogLine(pEnv ? "DbiInit env" : "DbiInit");
  return 0;
}

unsigned short WINAPI DbiDeleteAlias(void* hDb, char* pszAliasName) {
  char line[512];
  snprintf(line, sizeof line, "DbiDeleteAlias %s %s", hDb ? "db" : "nil", pszAliasName ? pszAliasName : "(nil)");
  LogLine(line);
  return 0;
}

unsigned short WINAPI DbiCfgSave(void* hDb, char* pszNewName, BOOL bDefault) {
  char line[512];
  snprintf(line, sizeof line, "DbiCfgSave %s %s %s", hDb ? "db" : "nil", pszNewName ? pszNewName : "(nil)",
           bDefault ? "system" : "user");
  LogLine(line);
  return 0;
}

unsigned short WINAPI DbiExit(void) {
  LogLine("DbiExit");
  return 0;
}
