#include "platform/CommState.h"

namespace {

struct BaudPair {
  uint32_t baud;
  speed_t code;
};

constexpr BaudPair baudTable[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
                                  {150, B150},       {200, B200},       {300, B300},        {600, B600},
                                  {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
                                  {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
                                  {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
                                  {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

void SetFraming(const TDcb &dcb, termios &tio) {
  tio.c_cflag &= ~(CommState::FramingBits | CSTOPB | CRTSCTS);
  tio.c_cflag |= CREAD | CLOCAL;
  static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag |= sizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
  case OddParity:
    tio.c_cflag |= PARENB | PARODD;
    break;
  case EvenParity:
    tio.c_cflag |= PARENB;
    break;
  case MarkParity:
    tio.c_cflag |= PARENB | CMSPAR | PARODD;
    break;
  case SpaceParity:
    tio.c_cflag |= PARENB | CMSPAR;
    break;
  default:
    break;
  }
  if (dcb.Parity != NoParity && (dcb.Flags & dcbParityCheck))
    tio.c_iflag |= INPCK;
  if (dcb.StopBits != OneStopBit)
    tio.c_cflag |= CSTOPB;
}

void SetFlowControl(const TDcb &dcb, termios &tio) {
  if ((dcb.Flags & dcbOutxCtsFlow) || RtsControl(dcb) == RtsControlHandshake)
    tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (dcb.Flags & dcbOutX)
    tio.c_iflag |= IXON;
  if (dcb.Flags & dcbInX)
    tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

} // namespace

namespace CommState {

bool SpeedFor(uint32_t baud, speed_t &code) {
  for (const auto &p : baudTable)
    if (p.baud == baud) {
      code = p.code;
      return true;
    }
  return false;
}

uint32_t BaudFor(speed_t code) {
  for (const auto &p : baudTable)
    if (p.code == code)
      return p.baud;
  return 0;
}

bool ValidFraming(const TDcb &dcb) {
  return dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= SpaceParity && dcb.StopBits <= TwoStopBits &&
         (dcb.StopBits == One5StopBits) == (dcb.ByteSize == 5 && dcb.StopBits != OneStopBit);
}

void TermiosFor(const TDcb &dcb, speed_t speed, termios &tio) {
  cfmakeraw(&tio);
  SetFraming(dcb, tio);
  SetFlowControl(dcb, tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
}

TDcb StateOf(const termios &tio, const TDcb &shadow, unsigned appliedFraming) {
  TDcb dcb = shadow;
  dcb.BaudRate = BaudFor(cfgetospeed(&tio));
  switch (tio.c_cflag & CSIZE) {
  case CS5:
    dcb.ByteSize = 5;
    break;
  case CS6:
    dcb.ByteSize = 6;
    break;
  case CS7:
    dcb.ByteSize = 7;
    break;
  default:
    dcb.ByteSize = 8;
  }
  if (!(tio.c_cflag & PARENB))
    dcb.Parity = NoParity;
  else if (tio.c_cflag & CMSPAR)
    dcb.Parity = (tio.c_cflag & PARODD) ? MarkParity : SpaceParity;
  else
    dcb.Parity = (tio.c_cflag & PARODD) ? OddParity : EvenParity;
  if ((tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR)) == appliedFraming) {
    dcb.ByteSize = shadow.ByteSize;
    dcb.Parity = shadow.Parity;
  }
  dcb.StopBits = !(tio.c_cflag & CSTOPB) ? OneStopBit : dcb.ByteSize == 5 ? One5StopBits : TwoStopBits;
  dcb.Flags &= ~(dcbOutX | dcbInX);
  if (tio.c_iflag & IXON)
    dcb.Flags |= dcbOutX;
  if (tio.c_iflag & IXOFF)
    dcb.Flags |= dcbInX;
  dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
  return dcb;
}

} // namespace CommState
