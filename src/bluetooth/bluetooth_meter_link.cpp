#include "bluetooth/bluetooth_meter_link.h"

#include <QBluetoothAddress>
#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QBluetoothLocalDevice>
#include <QBluetoothUuid>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyController>
#include <QLowEnergyDescriptor>
#include <QLowEnergyService>

namespace tl {

namespace {

const QBluetoothUuid kPressureService(QBluetoothUuid::ServiceClassUuid::BloodPressure);
const QBluetoothUuid kTimeService(QBluetoothUuid::ServiceClassUuid::CurrentTimeService);
const QBluetoothUuid kMeasurement(QBluetoothUuid::CharacteristicType::BloodPressureMeasurement);
const QBluetoothUuid kFeature(QBluetoothUuid::CharacteristicType::BloodPressureFeature);
const QBluetoothUuid kCurrentTime(QBluetoothUuid::CharacteristicType::CurrentTime);
const QBluetoothUuid kDateTime(QBluetoothUuid::CharacteristicType::DateTime);

using namespace meter_failure;

bool Writable(const QLowEnergyCharacteristic &c) {
  return c.isValid() && (c.properties() & (QLowEnergyCharacteristic::Write |
                                           QLowEnergyCharacteristic::WriteNoResponse));
}

} // namespace

BluetoothMeterLink::BluetoothMeterLink(QObject *parent) : MeterLink(parent) {}

BluetoothMeterLink::~BluetoothMeterLink() { release(); }

void BluetoothMeterLink::search() {
  release();
  step_ = Step::Searching;
  found_.clear();
  // Qt's discovery can report its error from start() itself; starting from
  // the event loop lets the caller connect to the signals first.
  const int run = ++generation_;
  QTimer::singleShot(0, this, [this, run] {
    if (run == generation_)
      startSearch();
  });
}

void BluetoothMeterLink::read(const QString &address) {
  release();
  step_ = Step::Connecting;
  const int run = ++generation_;
  QTimer::singleShot(0, this, [this, run, address] {
    if (run == generation_)
      startRead(address);
  });
}

void BluetoothMeterLink::cancel() {
  ++generation_;
  release();
}

bool BluetoothMeterLink::adapterUsable() {
  QBluetoothLocalDevice local;
  if (!local.isValid()) {
    finish(false, NoAdapter());
    return false;
  }
  if (local.hostMode() == QBluetoothLocalDevice::HostPoweredOff) {
    finish(false, PoweredOff());
    return false;
  }
  return true;
}

void BluetoothMeterLink::startSearch() {
  if (!adapterUsable())
    return;
  agent_ = new QBluetoothDeviceDiscoveryAgent(this);
  agent_->setLowEnergyDiscoveryTimeout(timings().searchMs);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this,
          &BluetoothMeterLink::onDeviceSeen);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, this,
          [this](const QBluetoothDeviceInfo &info) { onDeviceSeen(info); });
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, this,
          &BluetoothMeterLink::onSearchEnded);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this,
          [this](QBluetoothDeviceDiscoveryAgent::Error error) {
            switch (error) {
            case QBluetoothDeviceDiscoveryAgent::PoweredOffError:
              finish(false, PoweredOff());
              break;
            case QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError:
              finish(false, NoAdapter());
              break;
            default:
              finish(false, SearchFailed());
            }
          });
  emit progress(QStringLiteral("Recherche des tensiomètres…"));
  agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
}

void BluetoothMeterLink::onDeviceSeen(const QBluetoothDeviceInfo &info) {
  if (step_ != Step::Searching || !info.serviceUuids().contains(kPressureService))
    return;
  const QString address = info.address().toString();
  if (found_.contains(address))
    return;
  found_.insert(address);
  emit meterFound(info.name(), address);
}

void BluetoothMeterLink::onSearchEnded() {
  if (step_ != Step::Searching)
    return;
  if (found_.isEmpty()) {
    finish(false, NoMeter());
    return;
  }
  agent_->deleteLater();
  emit progress(QStringLiteral("Recherche terminée : choisissez le tensiomètre"));
}

void BluetoothMeterLink::startRead(const QString &address) {
  if (!adapterUsable())
    return;
  address_ = address;
  records_ = 0;
  total_.start(timings().totalMs);
  QBluetoothDeviceInfo info(QBluetoothAddress(address), QString(), 0);
  info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
  controller_ = QLowEnergyController::createCentral(info, this);
  connect(controller_, &QLowEnergyController::connected, this, [this] {
    step_ = Step::Services;
    emit progress(QStringLiteral("Connecté, lecture des services du tensiomètre…"));
    controller_->discoverServices();
  });
  connect(controller_, &QLowEnergyController::discoveryFinished, this,
          &BluetoothMeterLink::onServicesDiscovered);
  connect(controller_, &QLowEnergyController::disconnected, this,
          &BluetoothMeterLink::onDisconnected);
  connect(controller_, &QLowEnergyController::errorOccurred, this,
          [this](QLowEnergyController::Error error) { onControllerError(int(error)); });
  emit progress(QStringLiteral("Connexion au tensiomètre…"));
  controller_->connectToDevice();
}

void BluetoothMeterLink::onServicesDiscovered() {
  if (step_ != Step::Services)
    return;
  const QList<QBluetoothUuid> services = controller_->services();
  if (!services.contains(kPressureService)) {
    finish(false, NotAMeter());
    return;
  }
  pressure_ = controller_->createServiceObject(kPressureService, this);
  if (services.contains(kTimeService))
    time_ = controller_->createServiceObject(kTimeService, this);
  for (QLowEnergyService *service : {pressure_.data(), time_.data()}) {
    if (!service)
      continue;
    connect(service, &QLowEnergyService::stateChanged, this,
            [this, service](QLowEnergyService::ServiceState state) {
              if (state == QLowEnergyService::RemoteServiceDiscovered)
                onServiceReady(service);
            });
    connect(service, &QLowEnergyService::errorOccurred, this,
            [this](QLowEnergyService::ServiceError error) { onServiceError(int(error)); });
  }
  connect(pressure_, &QLowEnergyService::characteristicRead, this,
          [this](const QLowEnergyCharacteristic &c, const QByteArray &value) {
            if (step_ != Step::Feature || c.uuid() != kFeature)
              return;
            emit featureRead(value);
            setClock();
          });
  connect(pressure_, &QLowEnergyService::characteristicChanged, this,
          [this](const QLowEnergyCharacteristic &c, const QByteArray &value) {
            if (c.uuid() != kMeasurement ||
                (step_ != Step::Indications && step_ != Step::Collecting))
              return;
            recordReceived(value, QDateTime::currentDateTime());
          });
  connect(pressure_, &QLowEnergyService::descriptorWritten, this,
          [this](const QLowEnergyDescriptor &, const QByteArray &) {
            if (step_ != Step::Indications)
              return;
            step_ = Step::Collecting;
            beginCollecting();
          });
  const auto clockWritten = [this](const QLowEnergyCharacteristic &c, const QByteArray &) {
    if (step_ == Step::Clock && (c.uuid() == kCurrentTime || c.uuid() == kDateTime))
      enableIndications();
  };
  connect(pressure_, &QLowEnergyService::characteristicWritten, this, clockWritten);
  if (time_)
    connect(time_, &QLowEnergyService::characteristicWritten, this, clockWritten);
  // Values are read on demand: a read refused for want of pairing must come
  // back as an error of ours, not be lost inside the discovery.
  pressure_->discoverDetails(QLowEnergyService::SkipValueDiscovery);
}

void BluetoothMeterLink::onServiceReady(QLowEnergyService *service) {
  if (step_ != Step::Services)
    return;
  if (service == pressure_ && time_) {
    time_->discoverDetails(QLowEnergyService::SkipValueDiscovery);
    return;
  }
  readFeature();
}

void BluetoothMeterLink::readFeature() {
  step_ = Step::Feature;
  const QLowEnergyCharacteristic feature = pressure_->characteristic(kFeature);
  if (!feature.isValid()) {
    setClock();
    return;
  }
  pressure_->readCharacteristic(feature);
}

void BluetoothMeterLink::setClock() {
  step_ = Step::Clock;
  QLowEnergyService *service = nullptr;
  QLowEnergyCharacteristic clock;
  QByteArray value;
  const QDateTime now = QDateTime::currentDateTime();
  if (time_ && Writable(time_->characteristic(kCurrentTime))) {
    service = time_;
    clock = time_->characteristic(kCurrentTime);
    value = MeterCurrentTimeValue(now);
  } else if (Writable(pressure_->characteristic(kDateTime))) {
    service = pressure_;
    clock = pressure_->characteristic(kDateTime);
    value = MeterDateTimeValue(now);
  }
  if (!service) {
    enableIndications();
    return;
  }
  emit progress(QStringLiteral("Mise à l'heure du tensiomètre…"));
  if (clock.properties() & QLowEnergyCharacteristic::Write) {
    service->writeCharacteristic(clock, value, QLowEnergyService::WriteWithResponse);
  } else {
    service->writeCharacteristic(clock, value, QLowEnergyService::WriteWithoutResponse);
    enableIndications();
  }
}

void BluetoothMeterLink::enableIndications() {
  if (step_ != Step::Clock)
    return;
  step_ = Step::Indications;
  const QLowEnergyDescriptor cccd =
      pressure_->characteristic(kMeasurement).clientCharacteristicConfiguration();
  if (!cccd.isValid()) {
    finish(false, NotAMeter());
    return;
  }
  emit progress(QStringLiteral("En attente des mesures du tensiomètre…"));
  pressure_->writeDescriptor(cccd, QLowEnergyCharacteristic::CCCDEnableIndication);
}

void BluetoothMeterLink::onControllerError(int error) {
  if (step_ == Step::Idle)
    return;
  switch (QLowEnergyController::Error(error)) {
  case QLowEnergyController::InvalidBluetoothAdapterError:
    finish(false, step_ == Step::Connecting ? NoAdapter() : Lost());
    return;
  case QLowEnergyController::UnknownRemoteDeviceError:
    // BlueZ knows every paired device; one it does not know was never paired.
    finish(false, step_ == Step::Connecting ? Pair() : Lost());
    return;
  case QLowEnergyController::AuthorizationError:
    finish(false, Pair());
    return;
  default:
    break;
  }
  if (step_ != Step::Connecting) {
    finish(false, Lost());
    return;
  }
  // Qt reports every refused connection alike; a meter that is not paired
  // refuses it for that reason.
  const QBluetoothLocalDevice local;
  if (local.pairingStatus(QBluetoothAddress(address_)) == QBluetoothLocalDevice::Unpaired)
    finish(false, Pair());
  else
    finish(false, ConnectFailed());
}

void BluetoothMeterLink::onServiceError(int error) {
  switch (step_) {
  case Step::Clock:
    // A clock that cannot be set leaves the records as they are.
    emit progress(QStringLiteral("L'horloge du tensiomètre n'a pas pu être mise à l'heure"));
    enableIndications();
    return;
  case Step::Feature:
  case Step::Indications:
    // The meter refuses its measurements to a computer it is not bonded with.
    if (QLowEnergyService::ServiceError(error) == QLowEnergyService::CharacteristicReadError ||
        QLowEnergyService::ServiceError(error) == QLowEnergyService::DescriptorWriteError)
      finish(false, Pair());
    else
      finish(false, Lost());
    return;
  case Step::Services:
    finish(false, Lost());
    return;
  default:
    return;
  }
}

void BluetoothMeterLink::onDisconnected() {
  // A meter disconnects once it has sent what it had, possibly before Qt
  // confirmed that indications are on.
  if (step_ == Step::Collecting || (step_ == Step::Indications && records_ > 0))
    endTransfer();
  else if (step_ != Step::Idle)
    finish(false, step_ == Step::Connecting ? ConnectFailed() : Lost());
}

void BluetoothMeterLink::release() {
  step_ = Step::Idle;
  idle_.stop();
  total_.stop();
  if (agent_) {
    agent_->disconnect(this);
    agent_->stop();
    agent_->deleteLater();
  }
  for (QLowEnergyService *service : {pressure_.data(), time_.data()}) {
    if (service) {
      service->disconnect(this);
      service->deleteLater();
    }
  }
  if (controller_) {
    QLowEnergyController *controller = controller_;
    controller->disconnect(this);
    if (controller->state() == QLowEnergyController::UnconnectedState) {
      controller->deleteLater();
    } else {
      // Hand the link back to the system; the controller goes once BlueZ
      // confirms, or after two seconds, even if this link is gone by then.
      controller->setParent(nullptr);
      connect(controller, &QLowEnergyController::disconnected, controller, &QObject::deleteLater);
      connect(controller, &QLowEnergyController::errorOccurred, controller, &QObject::deleteLater);
      QTimer::singleShot(2000, controller, &QObject::deleteLater);
      controller->disconnectFromDevice();
    }
  }
  agent_.clear();
  pressure_.clear();
  time_.clear();
  controller_.clear();
}

} // namespace tl
