#pragma once
// What the program prints on stdout is often its whole product (--dry-run's estimate, --help,
// a sweep's summary): a write that failed there must not end as success.

namespace brevane {

// Flushes stdout. When anything written to it was lost, says so on stderr and returns 1 in
// place of a status of 0; any other status is returned as it is.
int with_standard_output_checked(int status);

}  // namespace brevane
