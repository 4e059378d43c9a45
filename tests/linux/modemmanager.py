'''ModemManager D-Bus mock template

A python-dbusmock template for the modem service (org.freedesktop.ModemManager1 on the system
bus) as its D-Bus API describes it: the manager object with the object manager interface, modems
(Modem, Modem3gpp, Location, Messaging), their SIMs and the text messages created on them.

Parameters (the template's JSON):
  no_modem: true starts the service without a modem (AddModem adds one).
  locked: true makes the SIM wait for its PIN (the modem is then locked).
  pin: the PIN the SIM accepts (default "1234").
  enabled: false starts the modem disabled (default true).
  mcc, mnc: the network's codes (default "214", "07").
  lac, ci: the serving cell's location area code and cell id (default 100 and 1000).
  signal: the signal quality in percent (default 60).
  operator: the operator's name (default "Zentrova Mobile").
  location_capabilities: the location sources the modem offers (default 1, the 3GPP source).

Helpers on the org.freedesktop.DBus.Mock interface of the manager object:
  AddModem(a{sv} parameters) -> o: another modem with its SIM, announced with InterfacesAdded.
  SetCell(u lac, u ci): the first modem moves to another cell.
  SetSignal(u percent): the first modem's signal quality.
  SetRegistration(u state, s operator): the first modem's 3GPP registration.
  SetSimLocked(b locked): the first modem's SIM waits for its PIN again (or not).
  GetSent() -> a(ss): number and text of every message the modems sent.
'''

import dbus

import dbusmock
from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MODEM_IFACE = MAIN_IFACE + '.Modem'
MODEM_3GPP_IFACE = MODEM_IFACE + '.Modem3gpp'
LOCATION_IFACE = MODEM_IFACE + '.Location'
MESSAGING_IFACE = MODEM_IFACE + '.Messaging'
SIM_IFACE = MAIN_IFACE + '.Sim'
SMS_IFACE = MAIN_IFACE + '.Sms'

ERROR_PREFIX = MAIN_IFACE + '.Error'

# MMModemState
STATE_LOCKED = 2
STATE_DISABLED = 3
STATE_ENABLED = 6
STATE_SEARCHING = 7
STATE_REGISTERED = 8
# MMModemPowerState
POWER_LOW = 2
POWER_ON = 3
# MMModemMode
MODE_2G = 2
MODE_3G = 4
MODE_ANY = 0xFFFFFFFF
# MMModemLock
LOCK_NONE = 1
LOCK_SIM_PIN = 2
# MMModem3gppRegistrationState
REG_IDLE = 0
REG_HOME = 1
REG_SEARCHING = 2
REG_ROAMING = 5
# MMModemLocationSource
LOCATION_3GPP = 1
# MMSmsState
SMS_STORED = 1
SMS_SENT = 5
# MMSmsPduType
SMS_PDU_SUBMIT = 2


def _error(name, message):
    return dbus.exceptions.DBusException(message, name=ERROR_PREFIX + '.' + name)


def _update(obj, interface, properties):
    '''Sets properties of one interface and tells it with PropertiesChanged, as the service does.'''
    for name, value in properties.items():
        obj.props[interface][name] = value
    obj.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                   [interface, dbus.Dictionary(properties, signature='sv'), dbus.Array([], signature='s')])


def load(mock, parameters):
    mock.modems = []
    mock.sent = []
    mock.sms_count = 0
    mock.AddProperty(MAIN_IFACE, 'Version', '1.20.4')
    mock.AddMethods(MAIN_IFACE, [
        ('ScanDevices', '', '', ''),
        ('SetLogging', 's', '', ''),
        ('ReportKernelEvent', 'a{sv}', '', ''),
        ('InhibitDevice', 'sb', '', ''),
    ])
    if not parameters.get('no_modem', False):
        mock.AddModem(parameters)


def _manager():
    return mockobject.objects[MAIN_OBJ]


def _first_modem():
    manager = _manager()
    if not manager.modems:
        raise _error('Core.NotFound', 'no modem')
    return mockobject.objects[manager.modems[0]]


def _location_text(modem):
    return f'{modem.mcc},{modem.mnc},{modem.lac:X},{modem.ci:X}'


def _location_dict(modem):
    '''The location the modem gathers: the 3GPP source while it is enabled and the source is on.'''
    enabled = modem.props[LOCATION_IFACE]['Enabled']
    if modem.props[MODEM_IFACE]['State'] >= STATE_ENABLED and enabled & LOCATION_3GPP:
        return dbus.Dictionary({dbus.UInt32(LOCATION_3GPP): dbus.String(_location_text(modem), variant_level=1)},
                               signature='uv')
    return dbus.Dictionary({}, signature='uv')


def _publish_location(modem):
    if modem.props[LOCATION_IFACE]['SignalsLocation']:
        _update(modem, LOCATION_IFACE, {'Location': _location_dict(modem)})


def _set_state(modem, new_state, reason=0):
    old = modem.props[MODEM_IFACE]['State']
    if old == new_state:
        return
    _update(modem, MODEM_IFACE, {'State': dbus.Int32(new_state)})
    modem.EmitSignal(MODEM_IFACE, 'StateChanged', 'iiu', [dbus.Int32(old), dbus.Int32(new_state),
                                                          dbus.UInt32(reason)])


def _require_enabled(modem):
    if modem.props[MODEM_IFACE]['State'] < STATE_ENABLED:
        raise _error('Core.WrongState', 'modem not enabled')


def _register(modem):
    '''An enabled modem finds its network at once, unless the test took the network away.'''
    if modem.network:
        _update(modem, MODEM_3GPP_IFACE, {'RegistrationState': dbus.UInt32(REG_HOME),
                                                  'OperatorName': modem.operator_name})
        _set_state(modem, STATE_REGISTERED)
    else:
        _update(modem, MODEM_3GPP_IFACE, {'RegistrationState': dbus.UInt32(REG_SEARCHING)})
        _set_state(modem, STATE_SEARCHING)


# Modem

def modem_enable(self, enable):
    state = self.props[MODEM_IFACE]['State']
    if state == STATE_LOCKED:
        raise _error('Core.WrongState', 'modem locked: the SIM waits for its PIN')
    if enable:
        if state >= STATE_ENABLED:
            return
        _update(self, MODEM_IFACE, {'PowerState': dbus.UInt32(POWER_ON)})
        _set_state(self, STATE_ENABLED)
        _register(self)
        _publish_location(self)
    else:
        if state < STATE_ENABLED:
            return
        _update(self, MODEM_3GPP_IFACE, {'RegistrationState': dbus.UInt32(REG_IDLE),
                                                 'OperatorName': ''})
        _set_state(self, STATE_DISABLED)
        _publish_location(self)


def modem_set_power_state(self, power):
    if self.props[MODEM_IFACE]['State'] > STATE_DISABLED:
        raise _error('Core.WrongState', 'power state changes need a disabled modem')
    _update(self, MODEM_IFACE, {'PowerState': dbus.UInt32(power)})


def modem_set_current_modes(self, modes):
    allowed, preferred = int(modes[0]), int(modes[1])
    if allowed == MODE_ANY:
        # The modem picks the combination itself: every technology it has, the newest preferred.
        allowed, preferred = MODE_2G | MODE_3G, MODE_3G
    elif allowed & ~(MODE_2G | MODE_3G) or (preferred and not preferred & allowed):
        raise _error('Core.Unsupported', 'modes not supported')
    _update(self, MODEM_IFACE, {'CurrentModes': dbus.Struct((dbus.UInt32(allowed), dbus.UInt32(preferred)),
                                                            signature='uu')})


def modem3gpp_register(self, operator_id):
    _require_enabled(self)
    if operator_id:
        raise _error('Core.Unsupported', 'only automatic registration in this mock')
    self.network = True
    _register(self)


def location_setup(self, sources, signal_location):
    _require_enabled(self)
    capabilities = self.props[LOCATION_IFACE]['Capabilities']
    if sources & ~capabilities:
        raise _error('Core.Unsupported', 'source not supported')
    _update(self, LOCATION_IFACE, {'Enabled': dbus.UInt32(sources),
                                           'SignalsLocation': dbus.Boolean(signal_location)})
    _publish_location(self)


def location_get(self):
    _require_enabled(self)
    return _location_dict(self)


def messaging_create(self, properties):
    _require_enabled(self)
    number = properties.get('number')
    text = properties.get('text')
    if not number or text is None:
        raise _error('Core.InvalidArgs', 'a message needs "number" and "text"')
    manager = _manager()
    path = f'{MAIN_OBJ}/SMS/{manager.sms_count}'
    manager.sms_count += 1
    manager.AddObject(path, SMS_IFACE, {
        'State': dbus.UInt32(0),
        'PduType': dbus.UInt32(SMS_PDU_SUBMIT),
        'Number': dbus.String(number),
        'Text': dbus.String(text),
        'Data': dbus.Array([], signature='y'),
        'SMSC': dbus.String(''),
        'Validity': dbus.Struct((dbus.UInt32(0), dbus.UInt32(0, variant_level=1)), signature='uv'),
        'Class': dbus.Int32(-1),
        'TeleserviceId': dbus.UInt32(0),
        'ServiceCategory': dbus.UInt32(0),
        'DeliveryReportRequest': dbus.Boolean(False),
        'MessageReference': dbus.UInt32(0),
        'Timestamp': dbus.String(''),
        'DischargeTimestamp': dbus.String(''),
        'DeliveryState': dbus.UInt32(256),
        'Storage': dbus.UInt32(0),
    }, [])
    sms = mockobject.objects[path]
    sms.modem_path = self.path
    sms.AddMethod(SMS_IFACE, 'Send', '', '', sms_send)
    sms.AddMethod(SMS_IFACE, 'Store', 'u', '', '')
    messages = list(self.props[MESSAGING_IFACE]['Messages']) + [dbus.ObjectPath(path)]
    _update(self, MESSAGING_IFACE, {'Messages': dbus.Array(messages, signature='o')})
    self.EmitSignal(MESSAGING_IFACE, 'Added', 'ob', [dbus.ObjectPath(path), False])
    return dbus.ObjectPath(path)


def messaging_list(self):
    return dbus.Array(self.props[MESSAGING_IFACE]['Messages'], signature='o')


def messaging_delete(self, path):
    messages = [p for p in self.props[MESSAGING_IFACE]['Messages'] if p != path]
    if len(messages) == len(self.props[MESSAGING_IFACE]['Messages']):
        raise _error('Core.NotFound', 'no such message')
    _update(self, MESSAGING_IFACE, {'Messages': dbus.Array(messages, signature='o')})
    _manager().RemoveObject(path)
    self.EmitSignal(MESSAGING_IFACE, 'Deleted', 'o', [dbus.ObjectPath(path)])


def sms_send(self):
    modem = mockobject.objects[self.modem_path]
    if modem.props[MODEM_IFACE]['State'] < STATE_REGISTERED:
        raise _error('Core.WrongState', 'not registered on a network')
    _update(self, SMS_IFACE, {'State': dbus.UInt32(SMS_SENT)})
    _manager().sent.append((str(self.props[SMS_IFACE]['Number']), str(self.props[SMS_IFACE]['Text'])))


def sim_send_pin(self, pin):
    modem = mockobject.objects[self.modem_path]
    if modem.props[MODEM_IFACE]['UnlockRequired'] != LOCK_SIM_PIN:
        raise _error('Core.WrongState', 'the SIM does not wait for a PIN')
    if pin != self.pin:
        raise dbus.exceptions.DBusException(
            'incorrect password', name=ERROR_PREFIX + '.MobileEquipment.IncorrectPassword')
    _update(modem, MODEM_IFACE, {'UnlockRequired': dbus.UInt32(LOCK_NONE)})
    # Unlocked, the modem starts again and waits, disabled, to be enabled.
    _set_state(modem, STATE_DISABLED)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='a{sv}', out_signature='o')
def AddModem(self, parameters):
    '''Adds a modem with its SIM; returns the modem's path.'''
    index = len(self.modems)
    path = f'{MAIN_OBJ}/Modem/{index}'
    sim_path = f'{MAIN_OBJ}/SIM/{index}'
    locked = bool(parameters.get('locked', False))
    enabled = bool(parameters.get('enabled', True)) and not locked
    signal = int(parameters.get('signal', 60))
    state = STATE_LOCKED if locked else (STATE_REGISTERED if enabled else STATE_DISABLED)

    self.AddObject(sim_path, SIM_IFACE, {
        'Active': dbus.Boolean(True),
        'SimIdentifier': dbus.String(f'89340700000000000{index}'),
        'Imsi': dbus.String(f'21407000000000{index}'),
        'Eid': dbus.String(''),
        'OperatorIdentifier': dbus.String('21407'),
        'OperatorName': dbus.String(parameters.get('operator', 'Zentrova Mobile')),
        'EmergencyNumbers': dbus.Array([], signature='s'),
    }, [])
    sim = mockobject.objects[sim_path]
    sim.modem_path = path
    sim.pin = str(parameters.get('pin', '1234'))
    sim.AddMethod(SIM_IFACE, 'SendPin', 's', '', sim_send_pin)
    sim.AddMethods(SIM_IFACE, [('SendPuk', 'ss', '', ''), ('EnablePin', 'sb', '', ''),
                               ('ChangePin', 'ss', '', '')])

    self.AddObject(path, MODEM_IFACE, {
        'Sim': dbus.ObjectPath(sim_path),
        'SimSlots': dbus.Array([dbus.ObjectPath(sim_path)], signature='o'),
        'PrimarySimSlot': dbus.UInt32(1),
        'Bearers': dbus.Array([], signature='o'),
        'SupportedCapabilities': dbus.Array([dbus.UInt32(4)], signature='u'),
        'CurrentCapabilities': dbus.UInt32(4),
        'MaxBearers': dbus.UInt32(1),
        'MaxActiveBearers': dbus.UInt32(1),
        'Manufacturer': dbus.String('Zentrova'),
        'Model': dbus.String('Mock Modem'),
        'Revision': dbus.String('1.0'),
        'HardwareRevision': dbus.String('1'),
        'DeviceIdentifier': dbus.String(f'mock{index}'),
        'Device': dbus.String(f'/sys/devices/mock{index}'),
        'Drivers': dbus.Array(['option'], signature='s'),
        'Plugin': dbus.String('generic'),
        'PrimaryPort': dbus.String(f'ttyUSB{index}'),
        'Ports': dbus.Array([(dbus.String(f'ttyUSB{index}'), dbus.UInt32(3))], signature='(su)'),
        'EquipmentIdentifier': dbus.String(f'35000000000000{index}'),
        'UnlockRequired': dbus.UInt32(LOCK_SIM_PIN if locked else LOCK_NONE),
        'UnlockRetries': dbus.Dictionary({dbus.UInt32(LOCK_SIM_PIN): dbus.UInt32(3)}, signature='uu'),
        'State': dbus.Int32(state),
        'StateFailedReason': dbus.UInt32(0),
        'AccessTechnologies': dbus.UInt32(0x20 if enabled else 0),
        'SignalQuality': dbus.Struct((dbus.UInt32(signal), dbus.Boolean(True)), signature='ub'),
        'OwnNumbers': dbus.Array([], signature='s'),
        'PowerState': dbus.UInt32(POWER_ON if enabled else POWER_LOW),
        'SupportedModes': dbus.Array([dbus.Struct((dbus.UInt32(6), dbus.UInt32(4)), signature='uu')],
                                     signature='(uu)'),
        'CurrentModes': dbus.Struct((dbus.UInt32(6), dbus.UInt32(4)), signature='uu'),
        'SupportedBands': dbus.Array([dbus.UInt32(0)], signature='u'),
        'CurrentBands': dbus.Array([dbus.UInt32(0)], signature='u'),
        'SupportedIpFamilies': dbus.UInt32(7),
    }, [])
    modem = mockobject.objects[path]
    modem.mcc = str(parameters.get('mcc', '214'))
    modem.mnc = str(parameters.get('mnc', '07'))
    modem.lac = int(parameters.get('lac', 100))
    modem.ci = int(parameters.get('ci', 1000))
    modem.network = True
    modem.operator_name = dbus.String(parameters.get('operator', 'Zentrova Mobile'))
    modem.AddMethod(MODEM_IFACE, 'Enable', 'b', '', modem_enable)
    modem.AddMethod(MODEM_IFACE, 'SetPowerState', 'u', '', modem_set_power_state)
    modem.AddMethod(MODEM_IFACE, 'SetCurrentModes', '(uu)', '', modem_set_current_modes)
    modem.AddMethods(MODEM_IFACE, [('Reset', '', '', ''), ('FactoryReset', 's', '', ''),
                                   ('ListBearers', '', 'ao', 'ret = dbus.Array([], signature="o")'),
                                   ('Command', 'su', 's', 'ret = ""')])

    modem.AddProperties(MODEM_3GPP_IFACE, {
        'Imei': dbus.String(f'35000000000000{index}'),
        'RegistrationState': dbus.UInt32(REG_HOME if enabled else REG_IDLE),
        'OperatorCode': dbus.String(modem.mcc + modem.mnc),
        'OperatorName': modem.operator_name if enabled else dbus.String(''),
        'EnabledFacilityLocks': dbus.UInt32(0),
        'EpsUeModeOperation': dbus.UInt32(0),
        'Pco': dbus.Array([], signature='(ubay)'),
    })
    modem.AddMethod(MODEM_3GPP_IFACE, 'Register', 's', '', modem3gpp_register)
    modem.AddMethod(MODEM_3GPP_IFACE, 'Scan', '', 'aa{sv}', 'ret = dbus.Array([], signature="a{sv}")')

    modem.AddProperties(LOCATION_IFACE, {
        'Capabilities': dbus.UInt32(int(parameters.get('location_capabilities', LOCATION_3GPP))),
        'SupportedAssistanceData': dbus.UInt32(0),
        'Enabled': dbus.UInt32(0),
        'SignalsLocation': dbus.Boolean(False),
        'Location': dbus.Dictionary({}, signature='uv'),
        'SuplServer': dbus.String(''),
        'AssistanceDataServers': dbus.Array([], signature='s'),
        'GpsRefreshRate': dbus.UInt32(30),
    })
    modem.AddMethod(LOCATION_IFACE, 'Setup', 'ub', '', location_setup)
    modem.AddMethod(LOCATION_IFACE, 'GetLocation', '', 'a{uv}', location_get)

    modem.AddProperties(MESSAGING_IFACE, {
        'Messages': dbus.Array([], signature='o'),
        'SupportedStorages': dbus.Array([dbus.UInt32(2)], signature='u'),
        'DefaultStorage': dbus.UInt32(2),
    })
    modem.AddMethod(MESSAGING_IFACE, 'Create', 'a{sv}', 'o', messaging_create)
    modem.AddMethod(MESSAGING_IFACE, 'List', '', 'ao', messaging_list)
    modem.AddMethod(MESSAGING_IFACE, 'Delete', 'o', '', messaging_delete)

    self.modems.append(path)
    self.object_manager_emit_added(path)
    return dbus.ObjectPath(path)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='uu', out_signature='')
def SetCell(self, lac, ci):
    '''The first modem is served by another cell.'''
    modem = _first_modem()
    modem.lac = int(lac)
    modem.ci = int(ci)
    _publish_location(modem)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='u', out_signature='')
def SetSignal(self, percent):
    '''The first modem's signal quality, in percent.'''
    modem = _first_modem()
    _update(modem, MODEM_IFACE, {
        'SignalQuality': dbus.Struct((dbus.UInt32(percent), dbus.Boolean(True)), signature='ub')})


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='us', out_signature='')
def SetRegistration(self, state, operator):
    '''The first modem's 3GPP registration; the modem state follows while it is enabled.'''
    modem = _first_modem()
    modem.network = state in (REG_HOME, REG_ROAMING)
    modem.operator_name = dbus.String(operator)
    _update(modem, MODEM_3GPP_IFACE, {'RegistrationState': dbus.UInt32(state),
                                              'OperatorName': dbus.String(operator)})
    if modem.props[MODEM_IFACE]['State'] >= STATE_ENABLED:
        _set_state(modem, STATE_REGISTERED if modem.network else STATE_SEARCHING)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='b', out_signature='')
def SetSimLocked(self, locked):
    '''The first modem's SIM waits for its PIN (the modem locks) or not (the modem is disabled).'''
    modem = _first_modem()
    if locked:
        _update(modem, MODEM_3GPP_IFACE, {'RegistrationState': dbus.UInt32(REG_IDLE)})
        _update(modem, MODEM_IFACE, {'UnlockRequired': dbus.UInt32(LOCK_SIM_PIN)})
        _set_state(modem, STATE_LOCKED)
        _publish_location(modem)
    else:
        _update(modem, MODEM_IFACE, {'UnlockRequired': dbus.UInt32(LOCK_NONE)})
        _set_state(modem, STATE_DISABLED)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='a(ss)')
def GetSent(self):
    '''Number and text of every message sent, oldest first.'''
    return dbus.Array(self.sent, signature='(ss)')
