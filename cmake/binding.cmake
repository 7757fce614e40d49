# How the plug-ins and the stand-in host bind their calls to each other (ELF only;
# a Windows build binds through its import tables and gets none of this).
#
# -fno-plt: a call into another library goes straight through its GOT entry,
# bound when the library is loaded, instead of through a lazy-binding stub: one
# indirect jump less per call, about one instruction in 25 of a step (make
# bench-count). It applies to every target (plug-ins, host, engine, and the null
# host of the floor benchmark, which must bind the same way).
#
# Measured and left out, for want of an effect on a step: -Wl,-z,now (the step's
# targets are already bound at load; it only adds the binding of every other symbol
# to the start-up), -fno-semantic-interposition and -Wl,-Bsymbolic-functions on the
# host libraries (the checks' fast paths call nothing and read their state through a
# hidden symbol, so there is nothing left to interpose).
option(SF_DIRECT_BINDING "Bind calls between the plug-ins and the host without PLT stubs" ON)
if(SF_DIRECT_BINDING AND NOT WIN32)
  add_compile_options(-fno-plt)
endif()
