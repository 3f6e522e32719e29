#include "common/TextTables.h"

// The Polish texts. A null entry falls back to English.
const char* const kPolishTexts[kTextCount] = {
    "O programie Tarsel_NextGenerate(&A)...",  // 20001
    "Ta kamera nie przeszła uwierzytelnienia.",  // 20002
    "Najpierw wykonaj uwierzytelnienie.",  // 20003
    "Uwierzytelnienie nie powiodło się, spróbuj ponownie !!!",  // 20004
    "Wyszukiwanie kamer, proszę czekać...",  // 20005
    "Konfigurowanie kamery, proszę czekać...",  // 20006
    "Wybierz co najmniej jedną kamerę i spróbuj ponownie.",  // 20007
    "Wybrano niewłaściwy plik oprogramowania, wybierz ponownie",  // 20008
    "Kamera jest zajęta, nie można teraz wykonać żadnej innej operacji !!!",  // 20009
    "Najpierw wybierz plik oprogramowania w oknie aktualizacji",  // 20010
    "Ostrzeżenie",  // 20011
    "OK",  // 20012
    "z wyjątkiem ustawień sieciowych wybranej kamery, potwierdź ponownie.",  // 20013
    "Podaj nazwę użytkownika i hasło:",  // 20014
    "potwierdź ponownie.",  // 20015
    "Funkcja zostanie wykonana na wybranej kamerze, potwierdź ponownie.",  // 20016
    "Podaj nazwę użytkownika i hasło, aby automatycznie ustawić adresy IP:",  // 20017
    "Podaj nazwę użytkownika i hasło, aby się uwierzytelnić:",  // 20018
    "Nazwa użytkownika",  // 20019
    "Hasło",  // 20020
    "Zapisz",  // 20021
    "Weryfikuj",  // 20022
    "Weryfikacja nieudana",  // 20023
    "Potwierdź",  // 20024
    "Anuluj",  // 20025
    "Ustaw IP",  // 20026
    "Odśwież",  // 20027
    "Inicjalizuj",  // 20028
    "Aktualizacja FW",  // 20029
    "Automatyczne ustawianie adresów IP",  // 20030
    "Przywracanie ustawień kamery...",  // 20031
    "Ponowne uruchamianie kamery...",  // 20032
    "Aktualizuj",  // 20033
    "Karta sieciowa",  // 20034
    "Uruchom ponownie kamerę",  // 20035
    "Podgląd",  // 20036
    "DOMYŚLNE",  // 20037
    "Ustawianie",  // 20038
    "Restart",  // 20039
    "Nazwa kamery",  // 20040
    "Adres MAC",  // 20041
    "Adres IP",  // 20042
    "Maska podsieci",  // 20043
    "Brama",  // 20044
    "Brama domyślna",  // 20045
    "Port HTTP",  // 20046
    "Tryb IP",  // 20047
    "Otwórz stronę WWW",  // 20048
    "Aktualizuj jedną",  // 20049
    "Aktualizuj zaznaczone",  // 20050
    "Lista kamer",  // 20051
    "Filtr",  // 20052
    "Wersja FW",  // 20053
    "Model",  // 20054
    "Stan",  // 20055
    "Nazwa",  // 20056
    "MAC",  // 20057
    "IP",  // 20058
    "Port",  // 20059
    "Wer. FW",  // 20060
    "Klient",  // 20061
    "Wybierz kamerę",  // 20062
    "Zaznacz wszystkie",  // 20063
    "Dodaj",  // 20064
    "Ustawienia oprogramowania",  // 20065
    "Oczekuje na aktualizację",  // 20066
    "Liczba kamer bez uwierzytelnienia",  // 20067
    "Sukces",  // 20068
    "Błąd",  // 20069
    "DHCP",  // 20070
    "Ręczny",  // 20071
    "PPPoE",  // 20072
    "Reset programowy przywróci ustawienia fabryczne",  // 20073
    "Ustawienia fabryczne (z zachowaniem IP) przywrócą ustawienia fabryczne",  // 20074
    "Reset sprzętowy przywróci ustawienia fabryczne wybranej kamery, ",  // 20075
    "Ustawienia fabryczne przywrócą ustawienia fabryczne wybranej kamery, ",  // 20076
    "Reset programowy",  // 20077
    "Ustawienia fabryczne (z zachowaniem IP)",  // 20078
    "Reset sprzętowy",  // 20079
    "Ustawienia fabryczne",  // 20080
    "Czy rozpocząć aktualizację oprogramowania ?",  // 20081
    "Uruchom ponownie",  // 20082
    "Polski",  // 20083
    "Aktualizacja FW nieudana",  // 20084
    "Auto",  // 20085
    "Podstawowy DNS",  // 20086
    "Zapasowy DNS",  // 20087
    "Błędne ustawienie",  // 20088
    "Błąd karty sieciowej, odśwież ponownie.",  // 20089
    "Nieprawidłowy adres IP.",  // 20090
    "Błędny zakres adresów IP.",  // 20091
    "Brama i ustawiany adres IP nie są w tej samej podsieci.",  // 20092
    "DHCP",  // 20093
    "Razem:",  // 20094
    "Zaznacz wszystkie uwierzytelnione kamery",  // 20095
    "Odwróć",  // 20096
    "BRAK IP",  // 20097
    "Różne karty sieciowe",  // 20098
    "Przydziel IP",  // 20099
    "Pomiń",  // 20100
    "Nieznany",  // 20101
    "Brak odpowiedzi",  // 20102
    "Szukaj IP",  // 20103
    "Zamknij",  // 20104
    "Zatrzymaj",  // 20105
    "Wyszukiwanie w zakresie IP",  // 20106
    "Początkowy IP",  // 20107
    "Końcowy IP",  // 20108
    "Lista nieudanych uwierzytelnień:",  // 20109
    "Sprawdzanie %s ...",  // 20110
    "Wyszukiwanie IP zatrzymane.",  // 20111
    "Wyszukiwanie IP zakończone.",  // 20112
    "Nazwa kamery nie może zawierać „&”, „=” ani znaków sterujących.",  // 20113
    "Nazwa kamery jest za długa.",  // 20114
    "Adres IP jest nieprawidłowy.",  // 20115
    "Maska podsieci jest nieprawidłowa.",  // 20116
    "Brama jest nieprawidłowa.",  // 20117
    "Port HTTP musi być liczbą od 1 do 65535.",  // 20118
    "Ustawienia nie mieszczą się w polach kamery.",  // 20119
    "Kamera nie podaje prawidłowego adresu ani portu swojej strony.",  // 20120
    "Popraw i zapisz ponownie.",  // 20121
    "Nie udało się zapisać historii adresów.",  // 20122
    "Adresy nadane teraz mogą zostać później nadane ponownie.",  // 20123
    "Sprawdź, czy plik ustawień można zapisać.",  // 20124
    "Eksportuj listę…",  // 20125
    "Nie udało się wyeksportować listy.",  // 20126
    "Sprawdź, czy folder istnieje i można w nim zapisywać oraz czy na dysku jest miejsce.",  // 20127
    "Inna kamera odpowiada z tym samym adresem IP.",  // 20128
    "Adres IP leży poza podsiecią karty sieciowej, przez którą kamera odpowiedziała: jej strony nie można otworzyć z tego komputera.",  // 20129
    "Kamera nie odpowiedziała.",  // 20130
    "Usuń",  // 20131
    "Trwają aktualizacje oprogramowania.",  // 20132
    "Trwa automatyczne nadawanie adresów IP.",  // 20133
    "Zamknąć mimo to?",  // 20134
    "Kamery (%1): %2",  // 20135
    "i jeszcze %1",  // 20136
    "Żadna kamera z listy nie przyjmuje tego oprogramowania.",  // 20137
    "Sprawdzono %1 z %2 adresów, znaleziono: %3",  // 20138
    "Zakres jest za duży: najwyżej 65 536 adresów.",  // 20139
    "O programie Tarsel_NextGenerate",  // 20140
    "Tarsel_NextGenerate wersja 1.0",  // 20141
    "Copyright (C) 2026",  // 20142
    " %1 z %2 widocznych",  // 20143
    "Minimalizuj",  // 20144
    "Język",  // 20145
    "Pole filtra",  // 20146
    "Zastosuj filtr",  // 20147
    "Wybierz plik oprogramowania",  // 20148
    "Usuń zaznaczone kamery",  // 20149
    "Kamery do aktualizacji",  // 20150
    "Działania kamery",  // 20151
    "Raport obiektu…",  // 20152
    "Raport obiektu",  // 20153
    "Obiekt",  // 20154
    "Data i godzina",  // 20155
    "Ten komputer",  // 20156
    "Karty sieciowe",  // 20157
    "Podsumowanie",  // 20158
    "Kamery",  // 20159
    "Według modelu",  // 20160
    "Oprogramowanie według modelu",  // 20161
    "najnowsze",  // 20162
    "starsze oprogramowanie",  // 20163
    "Według trybu IP",  // 20164
    "Ostrzeżenia",  // 20165
    "Brak",  // 20166
    "Karta sieciowa",  // 20167
    "Dane logowania sprawdzone",  // 20168
    "tak",  // 20169
    "nie",  // 20170
    "Obrazy",  // 20171
    "brak obrazu",  // 20172
    "niezweryfikowana",  // 20173
    "odmowa",  // 20174
    "brak odpowiedzi",  // 20175
    "to nie jest obraz",  // 20176
    "Pobieranie obrazów… %d z %d",  // 20177
    "Nie udało się zapisać raportu obiektu.",  // 20178
    "Raport obiektu został zapisany. Otworzyć go w przeglądarce?",  // 20179
    "Otwórz",  // 20180
    "Kamera odmówiła aktualizacji.",  // 20181
    "Brak odpowiedzi od kamery.",  // 20182
    "Nieprzyjęte przez ten model: kamera odrzuciła oprogramowanie.",  // 20183
    "Kamera nie zgłosiła zainstalowania oprogramowania.",  // 20184
    "Nie udało się odczytać pliku oprogramowania.",  // 20185
    "Inny host odpowiada z adresem MAC tej kamery; jego odpowiedzi są ignorowane.",  // 20186
    "Model",  // 20187
    "Kamera nie będzie osiągalna z tego komputera:",  // 20188
    "jej nowy adres nie należy do żadnej podsieci kart sieciowych tego komputera.",  // 20189
    "Wysłać ustawienia mimo to?",  // 20190
    "Weryfikacja kamery, proszę czekać…",  // 20191
    "Odrzucone",  // 20192
    "Brak odpowiedzi",  // 20193
    "Niezweryfikowane: %1",  // 20194
    "Zatrzymaj",  // 20195
    "Kamery zostaną ponownie uruchomione.",  // 20196
    "Kamery przywrócą ustawienia fabryczne; adres pozostanie bez zmian.",  // 20197
    "Kamery przywrócą ustawienia fabryczne, także adres.",  // 20198
    "Proszę potwierdzić.",  // 20199
    "Zaktualizowano do %1",  // 20200
    "Zaktualizowano",  // 20201
    "Zaktualizowane: %1, nieudane: %2, pominięte: %3",  // 20202
    "Przypisano %1 z %2",  // 20203
    "Tarsel_NextGenerate wersja %1",  // 20204
    "Dopasowywana jest nazwa pliku: musi zawierać nazwę modelu kamery.",  // 20205
    "zduplikowany adres: odpowiada na nim inna kamera",  // 20206
    "Nazwa obiektu (do nagłówka raportu):",  // 20207
    "Maksymalizuj",  // 20208
    "Przywróć",  // 20209
    "Brak obrazu",  // 20210
    "Odpowiedź nie jest obrazem",  // 20211
    "Tylko odczyt: urządzenie ONVIF",  // 20212
    "Producent",  // 20213
    "Rodzaj",  // 20214
    "Numer seryjny",  // 20215
    "Adres usługi",  // 20216
    "Sprzęt",  // 20217
    "Lokalizacja",  // 20218
    "Przesunięcie zegara",  // 20219
    "Dane urządzenia",  // 20220
    "Nieznany producent",  // 20221
    "Według producenta",  // 20222
    "brak adresu obrazu na samym urządzeniu",  // 20223
};
