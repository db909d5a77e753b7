#pragma once
// A byte ring of fixed capacity: a head (next free byte), a tail (oldest unread byte) and a full
// flag, so that every byte of the capacity is usable. Equal indices mean empty unless the flag is
// set. It takes no lock: the dispatcher holds the ring's own lock around every call.
//
//   TApdRing ring;
//   ring.Allocate(100);
//   ring.Put(bytes, n);                 // n <= ring.Free()
//   while (ring.Used()) { use(ring.Peek(0)); ring.Skip(1); }
#include <cstdint>
#include <memory>

class TApdRing {
public:
  // Zero-filled and empty; any earlier contents are gone.
  void Allocate(unsigned capacity);
  void Release();
  bool Allocated() const { return Data != nullptr; }
  unsigned Capacity() const { return Size; }

  unsigned Used() const {
    if (IsFull)
      return Size;
    return Head >= Tail ? Head - Tail : Head + Size - Tail;
  }
  unsigned Free() const { return Size - Used(); }
  bool Full() const { return IsFull; }
  // Empty, with both indices back at the start.
  void Clear() {
    Head = Tail = 0;
    IsFull = false;
  }

  // Copies `count` bytes in at the head, continuing at the start when they reach the end.
  // The caller has checked that they fit.
  void Put(const uint8_t *bytes, unsigned count);
  // Where the next bytes can go in one piece, and how many: from the head to the end, or up to
  // the tail when that lies ahead. After writing there, Produced tells how many were written.
  uint8_t *Room(unsigned &length);
  void Produced(unsigned count);

  // The unread byte `offset` places after the oldest.
  uint8_t Peek(unsigned offset) const { return Data[(Tail + offset) % Size]; }
  // The `count` oldest unread bytes are done with.
  void Skip(unsigned count);
  // Every unread byte in one piece, for a single write: a ring whose unread bytes wrap round the
  // end is first rotated so that they lie from the start.
  const uint8_t *Gather(unsigned &length);

private:
  std::unique_ptr<uint8_t[]> Data;
  unsigned Size = 0;
  unsigned Head = 0;
  unsigned Tail = 0;
  bool IsFull = false;
};
