// The product identity that Write Product Id sends: part number, maker id,
// serial number and functional id.
//
// How it works: the shell seeds the texts from buc_setup.ini at start-up
// (keys bpn, MID, bsn, fid); a Write Product Id reads the four edits back
// into them, so the command dialog opened next shows the last values sent
// until the program ends. The capacities are those of the configuration's
// fields: a longer text keeps capacity - 1 bytes. Only the dialog thread
// touches them.
#pragma once

namespace tessaril::shell {

struct ProductId {
  char bpn_text[15] = {};
  char mid_text[4] = {};
  char bsn_text[11] = {};
  char fid_text[8] = {};
};

inline ProductId product_id;

}  // namespace tessaril::shell
