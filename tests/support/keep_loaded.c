/* Linked into the programs of a sanitizer build: a library stays mapped when it is closed,
   so that what its own globals still hold at exit stays visible to the leak checker. Mesa's
   driver is closed when EGL terminates, and the state it leaves would otherwise show as
   leaks "from an unknown module" that no suppression can name. */
int dlclose(void* handle);
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
