'''The desktop portal's OpenURI interface, for tests: OpenFile takes a file descriptor and keeps
the path it stands for; GetOpened (on the mock interface) lists those paths. With the parameter
{"refuse": true} every request fails as a portal without a handler for the file would.
'''

import os

import dbus

from dbusmock import MOCK_IFACE

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.OpenURI'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.opened = []
    mock.refuse = bool(parameters.get('refuse', False))
    mock.AddProperties(MAIN_IFACE, {'version': dbus.UInt32(4)})


@dbus.service.method(MAIN_IFACE, in_signature='sha{sv}', out_signature='o')
def OpenFile(self, _parent, fd, _options):
    number = fd.take() if hasattr(fd, 'take') else int(fd)
    try:
        path = os.readlink(f'/proc/self/fd/{number}')
    finally:
        os.close(number)
    if self.refuse:
        raise dbus.exceptions.DBusException('no application for this file',
                                            name='org.freedesktop.portal.Error.NotFound')
    self.opened.append(path)
    return dbus.ObjectPath(f'/org/freedesktop/portal/desktop/request/1/{len(self.opened)}')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def GetOpened(self):
    return self.opened
