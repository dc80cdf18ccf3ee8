# Sources are UTF-8; narrow literals must come out as CP932, which the "A" API
# and the dialog resources expect. cl refuses /utf-8 beside /source-charset
# (D8016), and /utf-8 would make narrow literals UTF-8 anyway.
set(TOCKLET_MSVC_CHARSET_FLAGS /source-charset:utf-8 /execution-charset:.932)
set(TOCKLET_GCC_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
