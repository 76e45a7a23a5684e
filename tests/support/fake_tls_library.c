/* A stand-in TLS library for tests: it loads, but lacks nearly everything. */
void* SSL_new(void* ctx) { return ctx; }
