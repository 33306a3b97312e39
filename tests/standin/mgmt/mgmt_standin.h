// A stand-in vendor management library for tests: it exports the seven
// ZRNFC_ functions of the vendor extension and behaves as a small text file
// on the (simulated) machine tells it. Never installed.
//
// Scenario file "/etc/zrn_standin/mgmt.conf", read afresh by every call, one
// setting per line ("#" lines ignored):
//   load <status>        what ZRNFC_LoadLibrary returns (default 0)
//   count <n>            what ZRNFC_GetNumberOfAdapters returns, negative
//                        allowed (default: the number of adapter lines)
//   record_bytes <n>     bytes ZRNFC_GetAdapterAttributes2 writes (default
//                        2199, at most 32768): shows a caller's buffer is big
//   adapter <name> <node wwn, 16 hex digits> <subsystem-id word, hex>
//           <bus> <function> <domain> [name_fail] [open_zero] [attr <status>]
//                        one adapter (at most 16); bus, function and domain
//                        in hex. name_fail: ZRNFC_GetAdapterName returns 1
//                        for it; open_zero: ZRNFC_OpenAdapter returns 0;
//                        attr: ZRNFC_GetAdapterAttributes2 returns <status>.
//   repeat               an index past the adapter lines is served by line
//                        (index mod lines), so a large count walks them over
//                        and over
//   name_pad <n>         ZRNFC_GetAdapterName writes each name followed by
//                        <n> bytes "x" and a NUL (n at most 8192), whatever
//                        the 1024 bytes of its contract
// Without repeat, an index past the adapter lines fails ZRNFC_GetAdapterName
// with 2.
//
// Trace file "/etc/zrn_standin/mgmt.trace": every call appends one line,
// "<library path> <call> [arguments]", and so do loading ("load") and
// unloading ("unload") of the library. The handle of adapter i is 0x100 + i.
//
// Variants built from the same source leave one symbol out
// (-DZRN_MGMT_OMIT=<n>, n = 1..7 in the order LoadLibrary,
// GetNumberOfAdapters, GetAdapterName, OpenAdapter, GetAdapterAttributes2,
// CloseAdapter, FreeLibrary). The source keeps no C++ globals with
// destructors, so dlclose really unloads it.
#ifndef ZRN_TESTS_STANDIN_MGMT_MGMT_STANDIN_H_
#define ZRN_TESTS_STANDIN_MGMT_MGMT_STANDIN_H_

#define ZRN_MGMT_STANDIN_CONF "/etc/zrn_standin/mgmt.conf"
#define ZRN_MGMT_STANDIN_TRACE "/etc/zrn_standin/mgmt.trace"

#endif  // ZRN_TESTS_STANDIN_MGMT_MGMT_STANDIN_H_
